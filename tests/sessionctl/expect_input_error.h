// Checks the one error bad input raises: the file, the line, the "file:line: " prefix
// and the message.
#pragma once

#include "input_error.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace sessionctl_test {

inline void ExpectInputError(const std::function<void()>& parse, const std::string& file, int line,
                             const std::string& message) {
    try {
        parse();
        ADD_FAILURE() << "accepted; expected " << file << ":" << line << ": " << message;
    } catch (const sessionctl::InputError& error) {
        const std::string what = error.what();
        EXPECT_EQ(error.File(), file);
        EXPECT_EQ(error.Line(), line) << what;
        EXPECT_EQ(what.rfind(file + ":" + std::to_string(line) + ": ", 0), 0u) << what;
        EXPECT_NE(what.find(message), std::string::npos) << what;
    }
}

}  // namespace sessionctl_test
