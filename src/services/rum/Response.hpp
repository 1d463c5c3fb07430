#pragma once
// The collector's reply to an upload. It has no members: any JSON body
// decodes into it (an empty object, too), and only whether the body decodes
// counts toward the upload's outcome.
#include "services/http/ApiResponse.hpp"

namespace hexora::Rum::Api {

class Response : public ApiResponse {
public:
    using ApiResponse::ApiResponse;
};

}  // namespace hexora::Rum::Api
