#include "script/recordsetobject.h"
#include "script/scriptengine.h"

#include <gtest/gtest.h>

using namespace kv6;
using namespace kv6::script;

TEST(RecordsetObject, DefaultMemberReadsAndWritesFields)
{
    auto rs = Recordset::Create();
    rs->AppendField("Pages", adInteger);
    rs->Open();
    rs->AppendRow({ 3 });
    Engine engine;
    engine.compile("Sub Twice(r)\n r(\"Pages\") = r(\"pages\") * 2 + r(0)\nEnd Sub");
    Variant v = makeRecordsetObject(rs);
    engine.call("Twice", { &v });
    EXPECT_EQ(rs->Value(0).toInt(), 9);
}
