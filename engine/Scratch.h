#pragma once

// Scratch buffers that a pass keeps between calls, so that it allocates nothing once it has run.
// An overflow reporter may run another pass while one is under way (a message box runs a nested
// event loop): that pass finds the buffer in use and works in a buffer of its own, so that
// neither pass writes through memory the other has moved.

namespace zelk::detail {

template <class T>
struct ScratchSlot {
    T buffer{};
    bool inUse = false;
};

template <class T>
class Scratch {
public:
    explicit Scratch(ScratchSlot<T>& slot) : slot_(slot.inUse ? nullptr : &slot) {
        if (slot_ != nullptr) {
            slot_->inUse = true;
        }
    }
    ~Scratch() {
        if (slot_ != nullptr) {
            slot_->inUse = false;
        }
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    T& operator*() { return slot_ != nullptr ? slot_->buffer : own_; }

private:
    ScratchSlot<T>* slot_;
    T own_{};
};

}  // namespace zelk::detail
