#include "bridge/script_text.h"

#include <gtest/gtest.h>

namespace {

TEST(ScriptTextTest, OutsideTextCannotLeaveTheStringLiteral) {
    EXPECT_EQ(EscapeScriptString("a\"b'c\\d"), "a\\\"b\\'c\\\\d");
    EXPECT_EQ(EscapeScriptString("x\");alert(1);//"), "x\\\");alert(1);//");
    EXPECT_EQ(EscapeScriptString("l1\r\nl2\t"), "l1\\r\\nl2\\t");
    EXPECT_EQ(EscapeScriptString("</script>"), "\\x3C/script>");
    EXPECT_EQ(EscapeScriptString(std::string("n\0u\x1b", 4)), "n\\x00u\\x1B");
    EXPECT_EQ(EscapeScriptString("\xE2\x80\xA8|\xE2\x80\xA9"), "\\u2028|\\u2029");
}

TEST(ScriptTextTest, OrdinaryTextIsUnchanged) {
    EXPECT_EQ(EscapeScriptString("Box ready: 网关 100%"), "Box ready: 网关 100%");
    EXPECT_EQ(MakeAddTextScript("----"), "AddText(\"----\");");
    EXPECT_EQ(EscapeScriptString("\xE2\x82\xAC"), "\xE2\x82\xAC");
}

}  // namespace
