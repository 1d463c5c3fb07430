#pragma once
// The update API's "/conf" answers, read from a JSON file on every request so
// a test or the demo can change them between runs: an object whose members
// are platform numbers as text ("32" the launcher, "33" the game) and whose
// values are the reply objects sent as they stand, for example
//   {"33": {"result": 1, "version": "1.0.1", "hash": "g101", "file": "1.0.1"}}
// A platform without an entry gets 404; a body that is no JSON object with a
// number "platform" gets 400.
//
// Thread: answer() from any thread; it only reads the file.
#include <httplib.h>

#include <filesystem>

namespace hexora::tools {

class ConfAnswers {
public:
    explicit ConfAnswers(std::filesystem::path file) : file_(std::move(file)) {}
    void answer(const httplib::Request& request, httplib::Response& response) const;

private:
    std::filesystem::path file_;
};

}  // namespace hexora::tools
