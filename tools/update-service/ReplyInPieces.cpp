#include "ReplyInPieces.hpp"

#include <algorithm>
#include <memory>
#include <string>
#include <thread>

namespace hexora::tools {

void sendInPieces(httplib::Response& response, std::chrono::milliseconds over) {
    constexpr std::size_t Pieces = 16;
    auto body = std::make_shared<std::string>(std::move(response.body));
    const std::string type = response.get_header_value("Content-Type");
    response.body.clear();
    response.headers.erase("Content-Type");  // the provider sets it again
    const std::size_t piece = std::max<std::size_t>(1, (body->size() + Pieces - 1) / Pieces);
    const auto pause = over / Pieces;
    response.set_content_provider(body->size(), type,
                                  [body, piece, pause](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                      std::this_thread::sleep_for(pause);
                                      return sink.write(body->data() + offset, std::min(piece, length));
                                  });
}

void sendDripping(httplib::Response& response, std::chrono::milliseconds every) {
    auto body = std::make_shared<std::string>(std::move(response.body));
    const std::string type = response.get_header_value("Content-Type");
    response.body.clear();
    response.headers.erase("Content-Type");  // the provider sets it again
    response.set_content_provider(body->size(), type,
                                  [body, every](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                      std::this_thread::sleep_for(every);
                                      return sink.write(body->data() + offset, 1);
                                  });
}

}  // namespace hexora::tools
