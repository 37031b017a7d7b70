#include "reports/handler_fields.h"

#include <gtest/gtest.h>

#include <ctime>
#include <functional>

#include "db/db_error.h"

namespace tdv::reports {
namespace {

using db::Variant;

long errorNumber(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const db::DbError& e) {
        return e.number();
    }
    return 0;
}

TEST(HandlerFields, Integer16RoundsHalfToEvenAndChecksItsRange) {
    EXPECT_EQ(toInteger16(Variant::fromDouble(2.5)), 2);
    EXPECT_EQ(toInteger16(Variant::fromDouble(3.5)), 4);
    EXPECT_EQ(toInteger16(Variant::fromDouble(-2.5)), -2);
    EXPECT_EQ(toInteger16(Variant::fromLong(-32768)), -32768);
    EXPECT_EQ(toInteger16(Variant::fromString(" 12 ")), 12);
    EXPECT_EQ(toInteger16(Variant::fromBool(true)), -1);
    EXPECT_EQ(errorNumber([] { toInteger16(Variant::fromLong(32768)); }), 6);
    EXPECT_EQ(errorNumber([] { toInteger16(Variant::fromLong(-32769)); }), 6);
    EXPECT_EQ(errorNumber([] { toInteger16(Variant::null()); }), 94);
    EXPECT_EQ(errorNumber([] { toInteger16(Variant::fromString("two")); }), 13);
}

TEST(HandlerFields, FlagsTreatNullAsFalse) {
    EXPECT_FALSE(isTrue(Variant::null()));
    EXPECT_FALSE(isTrue(Variant()));
    EXPECT_FALSE(isTrue(Variant::fromBool(false)));
    EXPECT_FALSE(isTrue(Variant::fromInteger(0)));
    EXPECT_TRUE(isTrue(Variant::fromBool(true)));
    EXPECT_TRUE(isTrue(Variant::fromInteger(-1)));
    EXPECT_TRUE(isTrue(Variant::fromByte(1)));
}

TEST(HandlerFields, SignPositionTextOfNumbersAndNumericText) {
    EXPECT_EQ(signPositionText(Variant::fromLong(300)), " 300");
    EXPECT_EQ(signPositionText(Variant::fromInteger(0)), " 0");
    EXPECT_EQ(signPositionText(Variant::fromInteger(-2)), "-2");
    EXPECT_EQ(signPositionText(Variant::fromDouble(1.5)), " 1.5");
    EXPECT_EQ(signPositionText(Variant::fromString("7")), " 7");
    EXPECT_EQ(errorNumber([] { signPositionText(Variant::null()); }), 94);
    EXPECT_EQ(errorNumber([] { signPositionText(Variant::fromString("x")); }), 13);
}

TEST(HandlerFields, LocalNowIsAPlausibleAutomationDate) {
    const double now = localNowOleDate();
    // Between 2020 and 2200, and within a day of UTC.
    EXPECT_GT(now, 43831.0);
    EXPECT_LT(now, 109574.0);
    const double utc = 25569.0 + static_cast<double>(std::time(nullptr)) / 86400.0;
    EXPECT_NEAR(now, utc, 1.0);
}

}  // namespace
}  // namespace tdv::reports
