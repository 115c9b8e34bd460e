#include "host/formula.h"

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace host {

namespace {

// The formula as a tree of nodes evaluated recursively.
struct Node final : Formula {
    enum class Op { Number, Time, Negate, Add, Subtract, Multiply, Divide, Power, Sin, Threshold };
    Op op = Op::Number;
    double number = 0;
    std::vector<std::unique_ptr<Node>> args;

    double At(double t) const override
    {
        const auto arg = [&](std::size_t i) { return args[i]->At(t); };
        switch (op) {
        case Op::Number: return number;
        case Op::Time: return t;
        case Op::Negate: return -arg(0);
        case Op::Add: return arg(0) + arg(1);
        case Op::Subtract: return arg(0) - arg(1);
        case Op::Multiply: return arg(0) * arg(1);
        case Op::Divide: return arg(0) / arg(1);
        case Op::Power: return std::pow(arg(0), arg(1));
        case Op::Sin: return std::sin(arg(0));
        case Op::Threshold: return arg(0) > arg(1) ? 1.0 : 0.0;
        }
        return 0;
    }
};

// Recursive descent: sum := product (('+'|'-') product)*; product := unary (('*'|'/') unary)*;
// unary := '-' unary | power; power := atom ('^' unary)?; atom := number | t | name '(' args ')' | '(' sum ')'.
class Parser {
public:
    explicit Parser(std::u16string_view text) : text_(text) {}

    std::unique_ptr<Node> Whole()
    {
        auto node = Sum();
        Blanks();
        return node && pos_ == text_.size() ? std::move(node) : nullptr;
    }

private:
    using Op = Node::Op;

    void Blanks()
    {
        while (pos_ < text_.size() && (text_[pos_] == u' ' || text_[pos_] == u'\t')) {
            ++pos_;
        }
    }
    bool Take(char16_t c)
    {
        Blanks();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    static std::unique_ptr<Node> Make(Op op, std::unique_ptr<Node> a, std::unique_ptr<Node> b = nullptr)
    {
        if (!a || (op != Op::Negate && op != Op::Sin && !b)) {
            return nullptr;
        }
        auto node = std::make_unique<Node>();
        node->op = op;
        node->args.push_back(std::move(a));
        if (b) {
            node->args.push_back(std::move(b));
        }
        return node;
    }
    // A left-associative chain of `next` joined by the two operators.
    std::unique_ptr<Node> Chain(std::unique_ptr<Node> (Parser::*next)(), char16_t first, Op firstOp, char16_t second,
                                Op secondOp)
    {
        auto left = (this->*next)();
        while (left) {
            if (Take(first)) {
                left = Make(firstOp, std::move(left), (this->*next)());
            } else if (Take(second)) {
                left = Make(secondOp, std::move(left), (this->*next)());
            } else {
                break;
            }
        }
        return left;
    }
    std::unique_ptr<Node> Sum() { return Chain(&Parser::Product, u'+', Op::Add, u'-', Op::Subtract); }
    std::unique_ptr<Node> Product() { return Chain(&Parser::Unary, u'*', Op::Multiply, u'/', Op::Divide); }
    std::unique_ptr<Node> Unary() { return Take(u'-') ? Make(Op::Negate, Unary()) : Power(); }
    std::unique_ptr<Node> Power()
    {
        auto base = Atom();
        return base && Take(u'^') ? Make(Op::Power, std::move(base), Unary()) : std::move(base);
    }
    std::unique_ptr<Node> Atom()
    {
        Blanks();
        if (pos_ >= text_.size()) {
            return nullptr;
        }
        if (Take(u'(')) {
            auto inner = Sum();
            return inner && Take(u')') ? std::move(inner) : nullptr;
        }
        const char16_t c = text_[pos_];
        if ((c >= u'0' && c <= u'9') || c == u'.') {
            std::string digits;
            while (pos_ < text_.size() && ((text_[pos_] >= u'0' && text_[pos_] <= u'9') || text_[pos_] == u'.' ||
                                           text_[pos_] == u'e' || text_[pos_] == u'E' ||
                                           ((text_[pos_] == u'-' || text_[pos_] == u'+') && !digits.empty() &&
                                            (digits.back() == 'e' || digits.back() == 'E')))) {
                digits += static_cast<char>(text_[pos_++]);
            }
            char* end = nullptr;
            auto node = std::make_unique<Node>();
            node->number = std::strtod(digits.c_str(), &end);
            return end == digits.c_str() + digits.size() ? std::move(node) : nullptr;
        }
        std::u16string name;
        while (pos_ < text_.size() && ((text_[pos_] >= u'a' && text_[pos_] <= u'z') ||
                                       (text_[pos_] >= u'A' && text_[pos_] <= u'Z'))) {
            name += static_cast<char16_t>(text_[pos_] | 0x20); // names are not case sensitive
            ++pos_;
        }
        if (name == u"t") {
            auto node = std::make_unique<Node>();
            node->op = Op::Time;
            return node;
        }
        if (name == u"sin" && Take(u'(')) {
            auto x = Sum();
            return Take(u')') ? Make(Op::Sin, std::move(x)) : nullptr;
        }
        if (name == u"threshold" && Take(u'(')) {
            auto x = Sum();
            if (!Take(u',')) {
                return nullptr;
            }
            auto level = Sum();
            return Take(u')') ? Make(Op::Threshold, std::move(x), std::move(level)) : nullptr;
        }
        return nullptr;
    }

    std::u16string_view text_;
    std::size_t pos_ = 0;
};

} // namespace

std::shared_ptr<const Formula> ParseFormula(std::u16string_view text)
{
    return Parser(text).Whole();
}

FormulaSamples::FormulaSamples(IUnknown* owner, std::shared_ptr<const Formula> formula, double period, LONG start)
    : owner_(owner), formula_(std::move(formula)), period_(period), tick_(start < 0 ? 0 : start)
{
}

HRESULT FormulaSamples::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    if (iid == IID_IEnumFloatEx) {
        return Answer(static_cast<IEnumFloatEx*>(this), out);
    }
    return owner_ ? owner_->QueryInterface(iid, out) : (*out = nullptr, E_NOINTERFACE);
}

HRESULT FormulaSamples::Read(LONG count, float* buffer, LONG* read)
{
    if (!buffer || !read) {
        return E_POINTER;
    }
    *read = 0;
    for (LONG i = 0; i < count; ++i) {
        buffer[i] = static_cast<float>(formula_->At(static_cast<double>(tick_) * period_));
        ++tick_;
        ++*read;
    }
    return S_OK;
}

HRESULT FormulaSamples::Move(LONG delta)
{
    const long long target = static_cast<long long>(tick_) + delta;
    tick_ = target < 0 ? 0 : static_cast<LONG>(target);
    return target < 0 ? S_FALSE : S_OK;
}

HRESULT FormulaSamples::GetPosition(LONG* tick)
{
    if (!tick) {
        return E_POINTER;
    }
    *tick = tick_;
    return S_OK;
}

HRESULT FormulaSamples::GetTimeBase(SourceTimeBase* out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = {1, 1, 0};
    return S_OK;
}

} // namespace host
