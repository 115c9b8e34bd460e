#include "platform/win/globalmem.h"

#include "platform/win/errors.h"

#include <cstring>
#include <map>
#include <memory>

namespace {
struct Block {
    std::unique_ptr<std::byte[]> data;
    SIZE_T size = 0;
    bool moveable = false;
    int locks = 0;
};

std::map<HGLOBAL, std::unique_ptr<Block>>& Blocks()
{
    static auto* blocks = new std::map<HGLOBAL, std::unique_ptr<Block>>;
    return *blocks;
}

Block* Find(HGLOBAL handle)
{
    const auto found = Blocks().find(handle);
    return found == Blocks().end() ? nullptr : found->second.get();
}
}

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes)
{
    auto block = std::make_unique<Block>();
    // A block of 0 bytes still gets storage of its own, so that its handle is unique.
    block->data.reset(new (std::nothrow) std::byte[bytes ? bytes : 1]);
    if (!block->data) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (flags & GMEM_ZEROINIT) {
        std::memset(block->data.get(), 0, bytes);
    }
    block->size = bytes;
    block->moveable = (flags & GMEM_MOVEABLE) != 0;
    HGLOBAL handle = block->moveable ? static_cast<HGLOBAL>(block.get()) : static_cast<HGLOBAL>(block->data.get());
    Blocks().emplace(handle, std::move(block));
    return handle;
}

LPVOID GlobalLock(HGLOBAL handle)
{
    Block* block = Find(handle);
    if (!block) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (block->moveable) {
        ++block->locks;
    }
    return block->data.get();
}

BOOL GlobalUnlock(HGLOBAL handle)
{
    Block* block = Find(handle);
    if (!block) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (block->locks > 0) {
        --block->locks;
    }
    SetLastError(ERROR_SUCCESS);
    return block->locks > 0;
}

SIZE_T GlobalSize(HGLOBAL handle)
{
    const Block* block = Find(handle);
    return block ? block->size : 0;
}

HGLOBAL GlobalFree(HGLOBAL handle)
{
    if (!Blocks().erase(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return handle;
    }
    return nullptr;
}

namespace platform {
int LiveGlobalBlocks() { return static_cast<int>(Blocks().size()); }
}
