#include <gtest/gtest.h>

#include "tests/http/http_test_support.h"

namespace pindlewick {
namespace {

using testing::argsFor;
using testing::response;
using testing::sharedServer;

struct PageCase {
  std::string name;
  std::string body;
  std::string expected;  // the text's bytes
};

const std::string kUtf8Chinese = "\xE4\xB8\xAD\xE6\x96\x87";
const std::string kGbkChinese = "\xD6\xD0\xCE\xC4";

TEST(DeclaredCharset, PagesAreDecodedFromTheCharsetTheyDeclare) {
  const std::string late = "<p>" + std::string(1100, '.') + "</p><meta charset=utf-8>";
  const PageCase cases[] = {
      {"utf8-quoted", "<meta charset=\"utf-8\">" + kUtf8Chinese, "<meta charset=\"utf-8\">" + kGbkChinese},
      {"utf8-content", "<META http-equiv=Content-Type content=text/html;charset=UTF-8>" + kUtf8Chinese,
       "<META http-equiv=Content-Type content=text/html;charset=UTF-8>" + kGbkChinese},
      {"big5", "<meta charset='big5'>\xA4\xA4\xA4\xE5", "<meta charset='big5'>" + kGbkChinese},
      {"shift-jis", "<meta charset=shift_jis>\x92\x86\x95\xB6", "<meta charset=shift_jis>" + kGbkChinese},
      // 喆 and 堃 exist in GBK but not in GB2312: every name of the family,
      // in any case, reads the page as code page 936 and keeps them.
      {"gb2312-upper", "<meta charset=GB2312>\x86\xB4\x88\xD2", "<meta charset=GB2312>\x86\xB4\x88\xD2"},
      {"gb2312", "<meta charset=gb2312>\x81\x40", "<meta charset=gb2312>\x81\x40"},
      {"gbk", "<meta charset=gbk>\x81\x40", "<meta charset=gbk>\x81\x40"},
      {"gbk-upper", "<meta charset=GBK>\x81\x40", "<meta charset=GBK>\x81\x40"},
      {"gb_2312-80", "<meta charset=GB_2312-80>\x81\x40", "<meta charset=GB_2312-80>\x81\x40"},
      {"x-gbk", "<meta charset=X-GBK>\x81\x40", "<meta charset=X-GBK>\x81\x40"},
      {"csgb2312", "<meta charset=csGB2312>\x81\x40", "<meta charset=csGB2312>\x81\x40"},
      {"euc-cn", "<meta charset=EUC-CN>\x81\x40", "<meta charset=EUC-CN>\x81\x40"},
      {"chinese", "<meta charset=chinese>\x81\x40", "<meta charset=chinese>\x81\x40"},
      {"iso-ir-58", "<meta charset=ISO-IR-58>\x81\x40", "<meta charset=ISO-IR-58>\x81\x40"},
      {"gb_2312", "<meta charset=gb_2312>\x81\x40", "<meta charset=gb_2312>\x81\x40"},
      {"unknown", "<meta charset=x-no-such-charset>" + kUtf8Chinese,
       "<meta charset=x-no-such-charset>" + kUtf8Chinese},
      {"late", late + kUtf8Chinese, late + kUtf8Chinese},
      {"line-break", "<meta\ncharset=utf-8>" + kUtf8Chinese, "<meta\ncharset=utf-8>" + kUtf8Chinese},
      {"none", "<html>" + kUtf8Chinese, "<html>" + kUtf8Chinese},
      // The whole body is decoded; the text still ends at the first zero.
      {"zero", "<meta charset=utf-8>" + kUtf8Chinese + std::string(1, '\0') + "x",
       "<meta charset=utf-8>" + kGbkChinese},
  };
  for (const PageCase& c : cases) {
    sharedServer().script("/" + c.name, response("200 OK", "Content-Type: text/html\r\n", c.body));
    HttpRequestArgs args = argsFor("/" + c.name);
    EXPECT_EQ(httpRequest(args).bytes(), c.expected) << c.name;
    EXPECT_EQ(args.responseBytes, Bytes(c.body.begin(), c.body.end())) << c.name;
  }
}

}  // namespace
}  // namespace pindlewick
