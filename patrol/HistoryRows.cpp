#include "patrol/HistoryRows.h"

#include <algorithm>
#include <optional>

#include "platform/HttpValidators.h"
#include "support/UnixTime.h"

namespace kivo {
namespace {

void BindOptionalText(platform::SqliteStatement& statement, int index, std::u16string_view text) {
  if (text.empty()) {
    statement.BindNull(index);
  } else {
    statement.BindText(index, text);
  }
}

void BindOptionalInt(platform::SqliteStatement& statement, int index,
                     std::optional<int64_t> value) {
  if (value) {
    statement.BindInt(index, *value);
  } else {
    statement.BindNull(index);
  }
}

void BindDigest(platform::SqliteStatement& statement, int index,
                const std::optional<platform::Sha256Digest>& digest) {
  if (digest) {
    statement.BindBlob(index, *digest);
  } else {
    statement.BindNull(index);
  }
}

}  // namespace

const std::string_view kInsertCheckSql =
    "INSERT INTO checks(patrol_id, checked_at, url, kind, outcome, failure, http_status, "
    "last_modified, etag, body_digest, text_digest, bytes_received, stored_path, stored_size, "
    "stored_modified, follows_path) "
    "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16)";

void BindCheck(platform::SqliteStatement& statement, int64_t patrolId, const HistoryCheck& check) {
  statement.BindInt(1, patrolId);
  statement.BindInt(2, check.CheckedAt);
  statement.BindText(3, check.Url);
  statement.BindInt(4, static_cast<int64_t>(check.Kind));
  statement.BindInt(5, static_cast<int64_t>(check.Outcome));
  statement.BindInt(6, static_cast<int64_t>(check.Failure));
  statement.BindInt(7, check.HttpStatus);
  BindOptionalInt(statement, 8,
                  check.LastModified ? UnixSecondsOf(*check.LastModified) : std::nullopt);
  if (platform::IsAcceptableEtag(check.ETag)) {
    statement.BindBytesAsText(9, check.ETag);
  } else {
    statement.BindNull(9);
  }
  BindDigest(statement, 10, check.BodyDigest);
  BindDigest(statement, 11, check.TextDigest);
  statement.BindInt(12, static_cast<int64_t>(std::min<uint64_t>(check.BytesReceived, INT64_MAX)));
  BindOptionalText(statement, 13, check.StoredPath);
  BindOptionalInt(statement, 14,
                  check.StoredSize ? std::optional<int64_t>(static_cast<int64_t>(
                                         std::min<uint64_t>(*check.StoredSize, INT64_MAX)))
                                   : std::nullopt);
  BindOptionalInt(statement, 15, check.StoredModified);
  BindOptionalText(statement, 16, check.FollowsPath);
}

}  // namespace kivo
