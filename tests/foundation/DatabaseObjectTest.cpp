#include "DatabaseTestSupport.h"
#include "foundation/uDatabaseObject.h"

namespace
{

TEST(DatabaseObjectTest, AFrontWithoutEngineAnswersWithCode17)
{
    uDatabaseObject front(4);
    EXPECT_FALSE(front.isOK());
    EXPECT_EQ(front.getErrorCode(), 16);
    EXPECT_FALSE(front.connect());
    EXPECT_EQ(front.getErrorCode(), 17);
    EXPECT_EQ(front.getString("t", "c", nullptr), nullptr);
    EXPECT_EQ(front.count("t", "c", nullptr), 0);
}

TEST(DatabaseObjectTest, EngineType5ForwardsToARealConnection)
{
    testsupport::TempDir dir;
    const std::string path = dir.file("list.mdb");
    dbtest::createDatabase(path, {"create table t (a INTEGER)"});

    uDatabaseObject front(4);
    ASSERT_TRUE(front.createEngine(uDatabaseObject::kEngineActiveXDataObject));
    EXPECT_EQ(front.getErrorCode(), 0);
    ASSERT_TRUE(front.open(dbtest::connectionString(path).c_str(), "list.mdb", "", ""));
    EXPECT_TRUE(front.execute("insert into t values (7)"));
    EXPECT_EQ(front.getInt("t", "a", nullptr), 7);

    // A failure stays on the engine: the front's own code is untouched.
    EXPECT_FALSE(front.execute("insert into nowhere values (1)"));
    EXPECT_EQ(front.getErrorCode(), 0);

    // Replacing the engine drops the old one (and its connection).
    ASSERT_TRUE(front.createEngine(uDatabaseObject::kEngineActiveXDataObject));
    EXPECT_FALSE(front.execute("insert into t values (8)")); // the new engine has nothing to connect to
}

} // namespace
