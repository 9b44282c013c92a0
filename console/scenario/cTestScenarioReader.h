#pragma once
#include "TestStep.h"

#include <string>

class cTestScenario;
namespace tinyxml2
{
class XMLElement;
}

// Reads a test scenario file: the children of CommandDefinitions whose tag
// begins with "Test" are the tests, each a run of Item elements. Tags without
// "Test" are skipped; a tag with "Test" later in it (MyTest) ends the list
// there. Invalid steps are dropped with their log lines and the rest of the
// test stays. A file that cannot be opened or parsed is reported to the
// caller, who tells the operator.
class cTestScenarioReader
{
public:
    enum class Result
    {
        kRead,
        kCannotOpen,
    };

    // pError, when given, receives the parser's reason for kCannotOpen.
    Result Read(const std::string& sPath, cTestScenario& scenario, std::string* pError = nullptr) const;
    // Validates one Item element; true (and the step filled) when it is accepted.
    bool ProcessCmdItem(const tinyxml2::XMLElement* pElement, TestStep& step) const;
};
