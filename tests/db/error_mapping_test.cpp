#include "db/error_mapping.h"

#include <gtest/gtest.h>

using namespace tdv::db;

TEST(ErrorMapping, EachEngineKindGetsTheProvidersNumber) {
    struct Case {
        jet::ErrorKind kind;
        long number;
    };
    const Case cases[] = {
        {jet::ErrorKind::Io, hresult::kFail},
        {jet::ErrorKind::NotADatabase, hresult::kFail},
        {jet::ErrorKind::Corrupt, hresult::kFail},
        {jet::ErrorKind::Unsupported, hresult::kFail},
        {jet::ErrorKind::NoSuchTable, -2147217865},
        {jet::ErrorKind::NoSuchColumn, -2147217904},
        {jet::ErrorKind::Syntax, -2147217900},
        {jet::ErrorKind::Type, -2147217913},
        {jet::ErrorKind::Constraint, hresult::kFail},
        {jet::ErrorKind::ReadOnly, -2147217911},
        {jet::ErrorKind::Busy, hresult::kFail},
        {jet::ErrorKind::Internal, -2147467259},
    };
    for (const Case& c : cases) {
        const DbError e = fromEngineError(jet::Error(c.kind, 3000, "engine says"));
        EXPECT_EQ(e.number(), c.number) << static_cast<int>(c.kind);
        if (c.kind != jet::ErrorKind::NoSuchColumn) {
            EXPECT_EQ(e.description(), "engine says");
        }
    }
    EXPECT_EQ(fromEngineError(jet::Error(jet::ErrorKind::NoSuchColumn, 3061, "Nope")).description(),
              "No value given for one or more required parameters.");
}

TEST(ErrorMapping, TranslatingPassesResultsAndOtherErrorsThrough) {
    EXPECT_EQ(translatingEngineErrors([] { return 42; }), 42);
    EXPECT_THROW(translatingEngineErrors([]() -> int { throw std::logic_error("x"); }),
                 std::logic_error);
    try {
        translatingEngineErrors([] { jet::throwCorrupt("table T, page 9"); });
        FAIL();
    } catch (const DbError& e) {
        EXPECT_EQ(e.number(), hresult::kFail);
        EXPECT_NE(e.description().find("page 9"), std::string::npos);
    }
}
