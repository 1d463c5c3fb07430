#pragma once
// The process-wide slot of one platform layer: the installed implementation,
// made on first use from `Real` and replaceable by tests (a fake) or the shell.
//
// Thread: current() and install() may be called from any thread. A caller of
// current() keeps the layer alive for as long as it holds the pointer, so a
// layer replaced meanwhile is destroyed only when its last user lets go. The
// slot itself lives until the process ends.
#include <memory>
#include <mutex>

namespace hexora::platform {

template <class Layer, class Real>
class LayerSlot {
public:
    static std::shared_ptr<Layer> current() {
        std::lock_guard lock(mutex());
        return slot();
    }

    /// Installs `layer`; nullptr restores a fresh `Real`.
    static void install(std::shared_ptr<Layer> layer) {
        if (!layer) layer = std::make_shared<Real>();
        std::lock_guard lock(mutex());
        slot().swap(layer);
    }

private:
    // Never destroyed: a thread still at work while the program's statics
    // are torn down may reach its layer until the very end.
    static std::mutex& mutex() {
        static std::mutex* const instance = new std::mutex;
        return *instance;
    }
    static std::shared_ptr<Layer>& slot() {
        static auto* const installed = new std::shared_ptr<Layer>(std::make_shared<Real>());
        return *installed;
    }
};

}  // namespace hexora::platform
