#include "httpserver/ScriptedResponse.h"

#include <algorithm>
#include <string_view>

namespace kivo::test {

ScriptedResponse ScriptedResponse::Ok(std::string body) {
  ScriptedResponse response;
  response.Body = std::move(body);
  return response;
}

ScriptedResponse ScriptedResponse::Redirect(int status, std::string location) {
  ScriptedResponse response;
  response.Status = status;
  response.Headers.emplace_back("Location", std::move(location));
  response.Body = "moved";
  return response;
}

ScriptedResponse AnswerTo(const RecordedRequest& request, const ScriptedResponse& response) {
  const auto header = [&response](std::string_view name) {
    const auto found = std::find_if(response.Headers.begin(), response.Headers.end(),
                                    [name](const auto& header) { return header.first == name; });
    return found == response.Headers.end() ? std::nullopt : std::optional(found->second);
  };
  const std::optional<std::string> noneMatch = request.Header("If-None-Match");
  const std::optional<std::string> modifiedSince = request.Header("If-Modified-Since");
  const bool current = noneMatch ? noneMatch == header("ETag")
                                 : modifiedSince && modifiedSince == header("Last-Modified");
  if (response.Validators == Conditions::Ignored ||
      (response.Validators != Conditions::Always304 && !current)) {
    return response;
  }
  ScriptedResponse notModified = response;
  notModified.Status = 304;
  notModified.Body.clear();
  notModified.Length = LengthHeader::Exact;
  notModified.ChunkSize = 0;
  if (response.Validators == Conditions::HonouredBare) {
    notModified.Headers.clear();
  }
  return notModified;
}

}  // namespace kivo::test
