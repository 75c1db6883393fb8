#pragma once

namespace kivo::platform {

// Why a transfer failed, for callers and tests that need to tell the cases apart.
enum class HttpError {
  None,
  Setup,           // libcurl refused the transfer
  Connect,         // the host could not be resolved or reached
  ConnectTimeout,  // connecting took longer than the connect time-out
  ReceiveTimeout,  // no data arrived for the receive time-out
  Transport,       // the connection failed or the body ended early
  Redirect,        // too many redirects, or one to a scheme other than http and https
  TooSlow,         // a drip or a trickle: too few bytes arrived (see TransferWatch)
  Abandoned,       // its owner gave it up
  HeadTooLarge,    // the headers and trailers of a response passed HttpTransfer::kMaxHeadBytes
};

}  // namespace kivo::platform
