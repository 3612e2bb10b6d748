// The stand-ins' handles: a thread-safe map from the handles our ClockLink
// and RingReader give out to their device objects, how each finds the device
// behind the handle a caller passes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace standins {

template <class Device>
class Handles {
public:
    // Adds a device and returns its new handle (never 0).
    std::uint32_t add(std::shared_ptr<Device> device) {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::uint32_t handle = next_++;
        devices_[handle] = std::move(device);
        return handle;
    }

    void remove(std::uint32_t handle) {
        std::lock_guard<std::mutex> lock(mutex_);
        devices_.erase(handle);
    }

    // The device behind handle, or null for an unknown handle. The caller
    // holds its own reference, so a concurrent remove cannot pull it away.
    std::shared_ptr<Device> find(std::uint32_t handle) const {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = devices_.find(handle);
        return it == devices_.end() ? nullptr : it->second;
    }

private:
    mutable std::mutex mutex_;
    std::map<std::uint32_t, std::shared_ptr<Device>> devices_;
    std::uint32_t next_ = 1;
};

}  // namespace standins
