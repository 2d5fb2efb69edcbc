// Where the sound tests find the files made by tests/fixtures/make_fixtures.sh.
#ifndef BRASKO_TESTS_FIXTURES_HPP
#define BRASKO_TESTS_FIXTURES_HPP

#include <string>

inline std::string fixture(const std::string& name) {
    return std::string(BRASKO_SOUND_FIXTURES) + "/" + name;
}

#endif
