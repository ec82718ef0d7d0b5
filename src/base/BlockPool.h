#pragma once

#include <cstddef>
#include <mutex>
#include <new>
#include <vector>

namespace orbench {

// Memory for the model's small objects, which generation creates and frees by the million (every
// draw on the fly makes a distribution, a surgery type and a surgery): blocks of one size handed
// out from large slabs and kept on a free list for reuse, far cheaper than the general allocator.
// Each thread has its own free list; slabs are never returned and stay reachable from one global
// list. Address-sanitizer builds use the general allocator, so that misuse is still caught.
template <std::size_t Size>
class TBlockPool {
public:
    static void* Allocate()
    {
#if defined(__SANITIZE_ADDRESS__)
        return ::operator new(Size);
#else
        TNode*& Free = FreeList();
        if (Free == nullptr) Refill(Free);
        TNode* Block = Free;
        Free = Block->Next;
        return Block;
#endif
    }

    static void Release(void* Block) noexcept
    {
#if defined(__SANITIZE_ADDRESS__)
        ::operator delete(Block);
#else
        TNode*& Free = FreeList();
        TNode* Node = static_cast<TNode*>(Block);
        Node->Next = Free;
        Free = Node;
#endif
    }

private:
    struct TNode {
        TNode* Next;
    };
    static constexpr std::size_t Align = alignof(std::max_align_t);
    static constexpr std::size_t BlockSize = (Size < sizeof(TNode) ? sizeof(TNode) : Size + Align - 1) / Align * Align;
    static constexpr std::size_t BlocksPerSlab = 4096;

    static TNode*& FreeList()
    {
        thread_local TNode* Free = nullptr;
        return Free;
    }

    static void Refill(TNode*& Free)
    {
        // Never destroyed: the slabs stay reachable for the whole run.
        static std::mutex* const Lock = new std::mutex;
        static std::vector<void*>* const Slabs = new std::vector<void*>;
        auto* Slab = static_cast<unsigned char*>(::operator new(BlockSize* BlocksPerSlab));
        {
            const std::lock_guard<std::mutex> Guard(*Lock);
            Slabs->push_back(Slab);
        }
        for (std::size_t k = BlocksPerSlab; k-- > 0;) {
            TNode* Node = reinterpret_cast<TNode*>(Slab + k * BlockSize);
            Node->Next = Free;
            Free = Node;
        }
    }
};

// Base of a class whose objects come from the pool of its size.
template <typename TClass>
class TPooled {
public:
    static void* operator new(std::size_t Bytes)
    {
        return Bytes == sizeof(TClass) ? TBlockPool<sizeof(TClass)>::Allocate() : ::operator new(Bytes);
    }
    static void operator delete(void* Block, std::size_t Bytes) noexcept
    {
        if (Bytes == sizeof(TClass))
            TBlockPool<sizeof(TClass)>::Release(Block);
        else
            ::operator delete(Block);
    }
};

}  // namespace orbench
