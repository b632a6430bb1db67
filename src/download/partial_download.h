// What makes a partly downloaded package safe to continue in a later run:
// a small record beside the target saying which package the partial files
// hold, and the rule that compares it with what the server offers now.
//
// The record is written before any byte is appended to a partial file and
// replaced whole, so a run that ends at any moment (killed, crashed,
// cancelled, the machine switched off) leaves either no record or one that
// names the bytes on disk; the bytes themselves are always a prefix of that
// package, since they are only ever appended.
#pragma once

#include <cstdint>
#include <string>

// The package a partial file belongs to.
struct PartialIdentity {
  std::string digest;        // the final address's digest (lower-case hex); empty: none
  std::string address;       // the final address
  std::string etag;          // the server's ETag as sent, quotes included; empty: none
  std::string lastModified;  // the server's Last-Modified as sent; empty: none
  std::int64_t length = -1;  // the package's length; -1: unknown
  std::string layout;        // how the partial files cut the package ("stream", "ranges")

  // A digest says for itself which bytes these are; a validator only for
  // its own address.
  bool CanBeResumed() const { return !digest.empty() || !etag.empty() || !lastModified.empty(); }
  // The value to send back with If-Range: the ETag, else Last-Modified.
  const std::string& Validator() const { return etag.empty() ? lastModified : etag; }
};

// The record's text, and its reading (false for anything that is not a
// whole record: a record cut short by a crash counts as none).
std::string FormatPartialIdentity(const PartialIdentity& identity);
bool ParsePartialIdentity(const std::string& text, PartialIdentity& identity);

enum class ResumeVerdict {
  kStartOver,     // what is kept is not known to be this package: delete it
  kByDigest,      // the same digest: the kept bytes continue as they are
  kByValidator,   // the same address and validator: continue with If-Range
};

// Whether partial files recorded as `kept` may be continued for the package
// the server offers as `offered`. The same digest decides alone; without a
// digest on either side, the same address, length and validator decide
// (the ETag when the server sends one, else Last-Modified); with neither,
// nothing is continued.
ResumeVerdict DecideResume(const PartialIdentity& kept, const PartialIdentity& offered);

// An answer to a resumed request carries a validator that is not the
// recorded one: the server ignored If-Range and the bytes belong to another
// package. An answer without a validator proves nothing either way.
bool AnswerContradicts(const PartialIdentity& kept, const std::string& answerEtag,
                       const std::string& answerLastModified);

// Files beside a target (`target` in the ANSI code page, as the downloaders
// open their files):
//   "<target>.resume"      the record
//   "<target>.part"        one stream's partial file
//   "<target>_0", "_1"     the partial files of two ranges
std::string ResumeRecordPath(const std::string& target);
// Every partial file of any downloader, and the record.
void DeletePartials(const std::string& target);
// Replaces the record whole (a new file renamed over the old one); false
// when it could not be written.
bool WriteResumeRecord(const std::string& target, const PartialIdentity& identity);
// False when there is no whole record.
bool ReadResumeRecord(const std::string& target, PartialIdentity& identity);
void DeleteResumeRecord(const std::string& target);

// What stays when a download ends without the package (a final failure, the
// owner going away): partial files that hold bytes and whose record lets a
// later run continue them. Anything else is deleted, record included.
void DropUnresumablePartials(const std::string& target);

// Partial files are kept seven days at most: a run that finds them older
// (by the newest of the record and the partial files) deletes them all.
inline constexpr std::int64_t kPartialLifetimeSeconds = 7LL * 24 * 60 * 60;
// True when it deleted something.
bool DeleteStalePartials(const std::string& target);
