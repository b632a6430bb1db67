#include "analytics/sdk/batch_encoding.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace {

std::string Inflate(const std::string& gzip) {
  z_stream stream{};
  EXPECT_EQ(inflateInit2(&stream, 31), Z_OK);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(gzip.data()));
  stream.avail_in = static_cast<uInt>(gzip.size());
  std::string out(1 << 20, '\0');
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END);
  out.resize(stream.total_out);
  inflateEnd(&stream);
  return out;
}

TEST(BatchEncoding, Base64UsesTheStandardAlphabetWithPadding) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"\xFB\xFF\xBF", "+/+/"}};
  for (const auto& [bytes, text] : cases) EXPECT_EQ(zv_transport::Base64Encode(bytes), text) << bytes;
}

TEST(BatchEncoding, UrlEncodingKeepsOnlyUnreservedBytes) {
  EXPECT_EQ(zv_transport::UrlEncodeComponent("aZ09-._~+/= &\xE4"), "aZ09-._~%2B%2F%3D%20%26%E4");
}

TEST(BatchEncoding, BatchBodyIsGzipThenBase64ThenUrlEncoded) {
  std::string batch = "[";
  for (int i = 0; i < 200; ++i) batch += (i ? "," : "") + std::string("{\"n\":") + std::to_string(i) + "}";
  batch += "]";
  const auto compressed = zv_transport::GzipCompress(batch);
  ASSERT_TRUE(compressed);
  ASSERT_GE(compressed->size(), 10u);
  EXPECT_EQ(static_cast<unsigned char>((*compressed)[0]), 0x1F);
  EXPECT_EQ(static_cast<unsigned char>((*compressed)[1]), 0x8B);
  EXPECT_EQ(Inflate(*compressed), batch);

  const auto body = zv_transport::EncodeBatchBody(batch);
  ASSERT_TRUE(body);
  EXPECT_EQ(*body, "data_list=" +
                       zv_transport::UrlEncodeComponent(zv_transport::Base64Encode(*compressed)) +
                       "&gzip=1");
}

}  // namespace
