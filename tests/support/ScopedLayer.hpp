#pragma once
// Installs a layer of its own in one platform layer slot (platform/LayerSlot.hpp)
// for the life of the object, and puts back the layer installed before when it
// goes away, so that scopes nest (a fixture's fake, a test's own inside it).
//
//   ScopedLayer<platform::Clock, TestClock> clock{0.1};   // TestClock(0.1) installed
//   clock->sleptSeconds();                                 // the installed TestClock
//
// `Slot` is the layer interface with its static current() and install();
// `Installed` is made from the constructor's arguments. `AfterInstall()` runs
// after each of the two installs: for process-wide state built from the layer
// that must be built again from the new one (by default nothing).
//
// Thread: the test's thread. The installed layer may be used from any thread
// its own contract allows; it lives as long as its last user holds it.
#include <memory>
#include <utility>

namespace hexora::test {

struct NothingAfterInstall {
    void operator()() const {}
};

template <class Slot, class Installed, class AfterInstall = NothingAfterInstall>
class ScopedLayer {
public:
    template <class... Arguments>
    explicit ScopedLayer(Arguments&&... arguments)
        : layer_(std::make_shared<Installed>(std::forward<Arguments>(arguments)...)), previous_(Slot::current()) {
        Slot::install(layer_);
        AfterInstall{}();
    }
    ~ScopedLayer() {
        Slot::install(std::move(previous_));
        AfterInstall{}();
    }
    ScopedLayer(const ScopedLayer&) = delete;
    ScopedLayer& operator=(const ScopedLayer&) = delete;

    Installed& operator*() const { return *layer_; }
    Installed* operator->() const { return layer_.get(); }

private:
    std::shared_ptr<Installed> layer_;
    std::shared_ptr<Slot> previous_;
};

}  // namespace hexora::test
