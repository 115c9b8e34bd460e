// The module's exceptions and the texts of HRESULTs.
#pragma once

#include "foundation/kvostring.h"

#include <exception>
#include <new>
#include <string>

// The module's own failure codes: severity, customer bit, facility 4 and bit 15 of the code set.
namespace KVO::Errors {
inline constexpr HRESULT kBase = MakeHResult(0xA0048200u);
inline constexpr HRESULT kBadStreamString = MakeHResult(0xA0048203u);   // a bad string header in a tagged stream
inline constexpr HRESULT kNewerVersion = MakeHResult(0xA0048205u);      // stored data newer than the reader
inline constexpr HRESULT kSamplingPreview = MakeHResult(0xA004820Fu);   // preview charts while sampling
inline constexpr HRESULT kBadStorage = MakeHResult(0xA0048210u);        // an invalid compound-file structure
inline constexpr HRESULT kSilent = MakeHResult(0xA0048211u);
}

class xmsg : public std::exception {
public:
    explicit xmsg(std::string message) : message_(std::move(message)) {}
    xmsg(const xmsg&) = default;
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

class XKVO : public std::exception {
public:
    // The description is the text of the HRESULT.
    explicit XKVO(HRESULT hr);
    // The description is taken over; unless hr is 0, kBadStorage or kSilent a line break and the text of hr follow.
    XKVO(const KVO::String& description, HRESULT hr);
    XKVO(const XKVO& other) = default; // shares the description

    [[noreturn]] static void Throw(HRESULT hr);

    HRESULT Code() const { return hr_; }
    virtual KVO::String GetDescription() const { return description_; }
    // The description as 8-bit text in the thread's ANSI code page; valid until the next call or the end of the
    // exception.
    const char* what() const noexcept override;

private:
    HRESULT hr_;
    mutable KVO::String description_;
};

namespace KVO {
// A user-readable text for any HRESULT: the module's codes from the string table, others from the system; empty
// when there is no text.
String HResultMessage(HRESULT hr);
// The string-table text of one of the module's own codes; empty for any other code or a code without text.
String ModuleHResultMessage(HRESULT hr);
// Turns a VARIANT into a host text object through the host's type-id registry and returns the registry's result.
// Throws XKVO with the conversion's result when the value cannot become text; REGDB_E_CLASSNOTREG (and a null
// object) while the registry is not available.
HRESULT MakeHostTextFromVariant(const VARIANT& value, IUnknown** out);
}

namespace KVO {
// Runs the body of an interface slot and turns an escaping exception into the slot's HRESULT: XKVO's own code,
// E_OUTOFMEMORY for an allocation failure, E_FAIL for anything else. An exception always reaches the host as a
// failure: one that carries a success code gives E_FAIL. No exception crosses the host boundary.
template <class Body>
HRESULT GuardSlot(Body&& body) noexcept
{
    try {
        return body();
    } catch (const XKVO& error) {
        return FAILED(error.Code()) ? error.Code() : E_FAIL;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}
}

