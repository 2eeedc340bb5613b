#pragma once

// The program's German catalog as the interface language while this object
// lives; the program's own English texts again afterwards.
#include "foundation/uTranslation.h"

#include <cstdlib>
#include <memory>
#include <string>

namespace testsupport
{
class GermanInterface
{
public:
    // The catalog of the program folder (by default the one the tests are given).
    explicit GermanInterface(const char* program = std::getenv("KESTROVA_PROGRAM_DIR"))
    {
        auto german = std::make_shared<uMoCatalog>();
        loaded = program != nullptr && german->load(std::string(program) + "/languages/de.mo");
        if (loaded)
            uSetCatalog(german);
    }
    ~GermanInterface() { uSetCatalog(nullptr); }
    GermanInterface(const GermanInterface&) = delete;
    GermanInterface& operator=(const GermanInterface&) = delete;

    bool loaded = false;
};
} // namespace testsupport
