// The rule that decides whether partial files of an earlier run are the
// package the server offers now, and the record that carries their identity.
#include "download/partial_download.h"

#include <gtest/gtest.h>

#include <string>

#include "support/file_system.h"
#include "support/text.h"
#include "test_support.h"

namespace {

PartialIdentity Identity(const std::string& digest, const std::string& etag, const std::string& lastModified,
                         const std::string& address = "http://h/download/p.exe", std::int64_t length = 5000000) {
  PartialIdentity identity;
  identity.digest = digest;
  identity.etag = etag;
  identity.lastModified = lastModified;
  identity.address = address;
  identity.length = length;
  identity.layout = "stream";
  return identity;
}

TEST(PartialDownload, OnlyTheSamePackageIsContinued) {
  const std::string md5(32, 'a');
  const std::string date = "Tue, 01 Dec 2026 10:00:00 GMT";
  struct Case {
    const char* label;
    PartialIdentity kept;
    PartialIdentity offered;
    ResumeVerdict verdict;
  };
  PartialIdentity ranges = Identity(md5, "", "");
  ranges.layout = "ranges";
  const Case cases[] = {
      {"same digest, other address", Identity(md5, "", "", "http://a/x"), Identity(md5, "", "", "http://b/y"),
       ResumeVerdict::kByDigest},
      {"digest in other case", Identity(std::string(32, 'A'), "", ""), Identity(md5, "", ""),
       ResumeVerdict::kByDigest},
      {"other digest, same validator", Identity(std::string(32, 'b'), "\"e\"", ""), Identity(md5, "\"e\"", ""),
       ResumeVerdict::kStartOver},
      {"digest now, none before", Identity("", "\"e\"", ""), Identity(md5, "\"e\"", ""), ResumeVerdict::kStartOver},
      {"same etag", Identity("", "\"e\"", date), Identity("", "\"e\"", "other"), ResumeVerdict::kByValidator},
      {"other etag", Identity("", "\"e\"", date), Identity("", "\"f\"", date), ResumeVerdict::kStartOver},
      {"etag gone", Identity("", "\"e\"", date), Identity("", "", date), ResumeVerdict::kStartOver},
      {"same last-modified", Identity("", "", date), Identity("", "", date), ResumeVerdict::kByValidator},
      {"other address", Identity("", "\"e\"", "", "http://a/x"), Identity("", "\"e\"", "", "http://b/x"),
       ResumeVerdict::kStartOver},
      {"other length", Identity(md5, "", "", "http://h/x", 1), Identity(md5, "", "", "http://h/x", 2),
       ResumeVerdict::kStartOver},
      {"nothing to tell", Identity("", "", ""), Identity("", "", ""), ResumeVerdict::kStartOver},
      {"other layout", ranges, Identity(md5, "", ""), ResumeVerdict::kStartOver},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(DecideResume(c.kept, c.offered), c.verdict);
  }
}

TEST(PartialDownload, AnAnswerWithAnotherValidatorContradictsTheRecord) {
  const PartialIdentity kept = Identity("", "\"e\"", "Mon");
  EXPECT_FALSE(AnswerContradicts(kept, "\"e\"", "Tue"));
  EXPECT_TRUE(AnswerContradicts(kept, "\"f\"", "Mon"));
  EXPECT_FALSE(AnswerContradicts(kept, "", ""));
  EXPECT_TRUE(AnswerContradicts(Identity("", "", "Mon"), "\"x\"", "Tue"));
}

TEST(PartialDownload, TheRecordReadsBackWholeOrNotAtAll) {
  TestSupport::TempDir dir;
  const std::string target = Utils::ToNarrow(dir.File(L"p.exe"), Utils::kCodePageAnsi);
  PartialIdentity written = Identity(std::string(32, 'c'), "W/\"x=y\"", "Tue, 01 Dec 2026 10:00:00 GMT");
  ASSERT_TRUE(WriteResumeRecord(target, written));
  written.etag = "\"second\"";
  ASSERT_TRUE(WriteResumeRecord(target, written)) << "a record is replaced whole";
  PartialIdentity read;
  ASSERT_TRUE(ReadResumeRecord(target, read));
  EXPECT_EQ(read.digest, written.digest);
  EXPECT_EQ(read.etag, written.etag);
  EXPECT_EQ(read.lastModified, written.lastModified);
  EXPECT_EQ(read.address, written.address);
  EXPECT_EQ(read.length, written.length);
  EXPECT_EQ(read.layout, written.layout);

  // A record cut short anywhere (a crash while it was written) is no record.
  const std::string text = FormatPartialIdentity(written);
  for (std::size_t cut = 0; cut < text.size(); ++cut) {
    PartialIdentity partial;
    EXPECT_FALSE(ParsePartialIdentity(text.substr(0, cut), partial)) << cut;
  }
  // A value with a line break would forge another key: it is not written.
  written.etag = "\"a\"\nlength=1";
  PartialIdentity forged;
  ASSERT_TRUE(ParsePartialIdentity(FormatPartialIdentity(written), forged));
  EXPECT_EQ(forged.length, written.length);
  EXPECT_EQ(forged.etag, "");
}

TEST(PartialDownload, WhatAFailureLeavesIsWhatALaterRunCanUse) {
  TestSupport::TempDir dir;
  const std::wstring target = dir.File(L"p.exe");
  const std::string narrow = Utils::ToNarrow(target, Utils::kCodePageAnsi);
  // Bytes and a record that vouches for them stay.
  ASSERT_TRUE(TestSupport::WriteFileBytes(target + L".part", "bytes"));
  ASSERT_TRUE(WriteResumeRecord(narrow, Identity(std::string(32, 'a'), "", "")));
  DropUnresumablePartials(narrow);
  EXPECT_TRUE(Utils::FileExists(target + L".part"));
  EXPECT_TRUE(Utils::FileExists(target + L".resume"));
  // Bytes nothing vouches for go.
  DeleteResumeRecord(narrow);
  DropUnresumablePartials(narrow);
  EXPECT_FALSE(Utils::FileExists(target + L".part"));
  // So do empty files, record and all.
  ASSERT_TRUE(TestSupport::WriteFileBytes(target + L"_0", ""));
  ASSERT_TRUE(WriteResumeRecord(narrow, Identity(std::string(32, 'a'), "", "")));
  DropUnresumablePartials(narrow);
  EXPECT_FALSE(Utils::FileExists(target + L"_0"));
  EXPECT_FALSE(Utils::FileExists(target + L".resume"));
  // Young partial files are not stale.
  ASSERT_TRUE(TestSupport::WriteFileBytes(target + L".part", "bytes"));
  EXPECT_FALSE(DeleteStalePartials(narrow));
  EXPECT_TRUE(Utils::FileExists(target + L".part"));
}

}  // namespace
