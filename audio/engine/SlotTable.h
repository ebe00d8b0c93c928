// Handles: 32-bit ids that carry a generation. Bits [31] kind, [30..12] generation (1..0x7FFFF),
// [11..0] slot + 1. Freeing a handle bumps its slot's generation, so the old value never matches
// again (until the generation wraps after half a million reuses of that very slot); freed slots
// are reused oldest first.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace tembrik::audio::detail {

template <class T> class SlotTable {
public:
    static constexpr std::uint32_t kSlotBits = 12;
    static constexpr std::uint32_t kMaxSlots = (1u << kSlotBits) - 1; // 4095
    static constexpr std::uint32_t kGenerationMask = 0x7FFFF;

    explicit SlotTable(std::uint32_t kindBit) : kindBit_(kindBit) {}

    // 0 when every slot is taken.
    std::uint32_t add(std::shared_ptr<T> item) {
        std::uint32_t index;
        if (!free_.empty() && (slots_.size() >= kMaxSlots || free_.size() > 64)) {
            index = free_.front();
            free_.pop_front();
        } else if (slots_.size() < kMaxSlots) {
            index = static_cast<std::uint32_t>(slots_.size());
            slots_.push_back({});
        } else {
            return 0;
        }
        slots_[index].item = std::move(item);
        return handle(index);
    }

    std::shared_ptr<T> get(std::uint32_t h) const {
        auto index = find(h);
        return index < slots_.size() ? slots_[index].item : nullptr;
    }

    std::shared_ptr<T> remove(std::uint32_t h) {
        auto index = find(h);
        if (index >= slots_.size())
            return nullptr;
        auto item = std::move(slots_[index].item);
        slots_[index].item.reset();
        slots_[index].generation = (slots_[index].generation % kGenerationMask) + 1;
        free_.push_back(index);
        return item;
    }

    std::vector<std::shared_ptr<T>> removeAll() {
        std::vector<std::shared_ptr<T>> out;
        for (std::uint32_t i = 0; i < slots_.size(); ++i) {
            if (slots_[i].item)
                out.push_back(remove(handle(i)));
        }
        return out;
    }

private:
    struct Slot {
        std::uint32_t generation = 1;
        std::shared_ptr<T> item;
    };

    std::uint32_t handle(std::uint32_t index) const {
        return kindBit_ | (slots_[index].generation << kSlotBits) | (index + 1);
    }

    // The slot index of a live handle, or an out-of-range value.
    std::size_t find(std::uint32_t h) const {
        if ((h & 0x80000000u) != kindBit_)
            return SIZE_MAX;
        std::uint32_t slot = h & kMaxSlots;
        if (slot == 0 || slot > slots_.size())
            return SIZE_MAX;
        const Slot& s = slots_[slot - 1];
        if (!s.item || s.generation != ((h >> kSlotBits) & kGenerationMask))
            return SIZE_MAX;
        return slot - 1;
    }

    const std::uint32_t kindBit_;
    std::vector<Slot> slots_;
    std::deque<std::uint32_t> free_;
};

} // namespace tembrik::audio::detail
