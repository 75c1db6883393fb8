#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "httpserver/RecordedRequest.h"

namespace kivo::test {

// How a scripted response states its length.
enum class LengthHeader {
  Exact,     // Content-Length equals the body size; the connection stays open
  Absent,    // no Content-Length; the body ends when the server closes the connection
  TooSmall,  // Content-Length is LengthError below the body size; closed after the body
  TooLarge,  // Content-Length is LengthError above the body size; closed after the body
};

// How a scripted response treats the validators of a conditional request.
enum class Conditions {
  Ignored,       // always the scripted response, as many dynamic pages do
  Honoured,      // 304 when If-None-Match names its ETag, or else If-Modified-Since equals its
                 // Last-Modified (the exact match nginx makes)
  Always304,     // 304 whatever was asked, even to a request without validators
  HonouredBare,  // as Honoured, but the 304 repeats none of the headers, as it may
};

// What the server sends for one request target.
struct ScriptedResponse {
  int Status = 200;
  // Extra headers in order, for example {"Last-Modified", "Sun, 06 Nov 1994 08:49:37 GMT"}.
  std::vector<std::pair<std::string, std::string>> Headers;
  std::string Body;
  LengthHeader Length = LengthHeader::Exact;
  size_t LengthError = 1;
  // Sends the body chunked, in chunks of this many bytes; 0 sends it plain.
  size_t ChunkSize = 0;
  // Trailer lines after a chunked body ("Name: value\r\n" each); with EndlessTrailers they
  // are sent again and again until the client goes away, and the section never ends.
  std::string Trailers;
  bool EndlessTrailers = false;
  // Waits before the status line.
  int HeaderDelayMs = 0;
  // Waits before body byte DelayAtByte, and again every DelayEveryBytes bytes after it (0: once).
  int BodyDelayMs = 0;
  size_t DelayAtByte = 0;
  size_t DelayEveryBytes = 0;
  // Aborts the connection with a reset once this many body bytes have been sent.
  std::optional<size_t> ResetAtByte;
  // Holds the response between its headers and its body until Release(HoldName), so that a
  // test can line up events without wall-clock margins. Empty: no hold.
  std::string HoldName;
  // Holds before the status line instead, as a page that is slow to begin its answer.
  bool HoldHead = false;
  // Appends "request N" to the body, N counting the requests for this target since it was
  // scripted, as a server whose answer changes with every request.
  bool CountRequests = false;
  Conditions Validators = Conditions::Ignored;

  static ScriptedResponse Ok(std::string body);
  static ScriptedResponse Redirect(int status, std::string location);
};

// Returns what the server sends to `request` for `response`: the scripted
// response, or a 304 without a body where its Validators say so.
ScriptedResponse AnswerTo(const RecordedRequest& request, const ScriptedResponse& response);

}  // namespace kivo::test
