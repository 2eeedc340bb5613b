#include "foundation/uSharedObject.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <string>

TEST(SharedObjectTest, LoadsAPlugInAndCallsItsEntry)
{
    uSharedObject plugin;
    void* address = &plugin;
    EXPECT_FALSE(plugin.getSymbol("Initialize", &address));
    EXPECT_EQ(address, nullptr);
    EXPECT_STREQ(plugin.getMessage().c_str(), "Shared object is not loaded.");

    ASSERT_TRUE(plugin.load(uFile(KESTROVA_TEST_PLUGIN))) << plugin.getMessage().c_str();
    // The last failure stays readable after a success.
    EXPECT_STREQ(plugin.getMessage().c_str(), "Shared object is not loaded.");
    EXPECT_TRUE(plugin.load(uFile(KESTROVA_TEST_PLUGIN)));
    EXPECT_STREQ(plugin.getMessage().c_str(), "Shared object already loaded");
    EXPECT_FALSE(plugin.getSymbol(nullptr, &address));
    EXPECT_STREQ(plugin.getMessage().c_str(), "Symbol name can not be null.");
    EXPECT_FALSE(plugin.getSymbol("Initialize", nullptr));

    ASSERT_TRUE(plugin.getSymbol("Initialize", &address));
    auto initialize = reinterpret_cast<int (*)(int, int)>(address);
    EXPECT_EQ(initialize(6881, 6882), 6887882);

    address = &plugin;
    EXPECT_FALSE(plugin.getSymbol("NotExported", &address));
    EXPECT_EQ(address, nullptr);
    EXPECT_NE(std::string(plugin.getMessage().c_str()).find("NotExported"), std::string::npos);

    EXPECT_TRUE(plugin.unload());
    EXPECT_TRUE(plugin.unload());
    EXPECT_FALSE(plugin.isLoaded());
}

TEST(SharedObjectTest, AMissingFileFailsWithTheSystemsReason)
{
    testsupport::TempDir dir;
    uSharedObject plugin;
    EXPECT_FALSE(plugin.load(uFile(dir.file("absent.so").c_str())));
    EXPECT_FALSE(plugin.getMessage().isEmpty());
    EXPECT_FALSE(plugin.isLoaded());
    // A bare name is a file in the current directory, never a library on the search path.
    EXPECT_FALSE(plugin.load(uFile("libc.so.6")));
}
