#pragma once
// STUB: declared so the road's workers can name one another; the behaviour
// is still to be built. work() throws a WorkerError.
#include "engine/Worker.hpp"

#include <memory>

namespace hexora::Worker::Hexora {

class GP22 : public Worker {
public:
    using Worker::Worker;

    void work() override;
};

}  // namespace hexora::Worker::Hexora
