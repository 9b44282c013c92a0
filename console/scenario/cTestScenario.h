#pragma once
#include "TestStep.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The tests of a scenario file in file order, each a name (its element's tag)
// and its accepted steps in file order. Names need not be unique: Find gives
// the first test of a name.
class cTestScenario
{
public:
    struct Test
    {
        std::string sName;
        std::vector<TestStep> steps;
    };

    size_t TestCount() const { return m_Tests.size(); }
    const Test& GetTest(size_t nTest) const { return m_Tests.at(nTest); }
    const std::vector<Test>& Tests() const { return m_Tests; }
    // The index of the first test so named, or -1.
    int32_t Find(const std::string& sName) const;

    void Append(Test test) { m_Tests.push_back(std::move(test)); }
    void Clear() { m_Tests.clear(); }

private:
    std::vector<Test> m_Tests;
};
