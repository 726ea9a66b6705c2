#include <cmath>

#include <gtest/gtest.h>

#include "platform/swiftui/Path.h"

using namespace platform;
using namespace platform::swiftui;

namespace {
CGPoint at(CGPoint c, double r, double degrees) {
    double a = Angle::degrees(degrees).radians;
    return {c.x + r * std::cos(a), c.y + r * std::sin(a)};
}
} // namespace

TEST(PathTest, WedgeArcRecordsItsGeometryAndCoversOnlyItsSweep) {
    CGPoint c{50, 50};
    Path wedge;
    wedge.addArc(c, 50, Angle::degrees(60), Angle::degrees(0), true);
    wedge.addLine(c);

    ASSERT_EQ(wedge.elements().size(), 3u);
    EXPECT_EQ(wedge.elements()[0].kind, Path::Kind::move) << "starts at the arc's first point";
    EXPECT_NEAR(wedge.elements()[0].point.x, at(c, 50, 60).x, 1e-9);
    const auto& arc = wedge.elements()[1];
    EXPECT_EQ(arc.kind, Path::Kind::arc);
    EXPECT_DOUBLE_EQ(arc.startAngle.degreesValue(), 60);
    EXPECT_DOUBLE_EQ(arc.endAngle.degreesValue(), 0);
    EXPECT_NEAR(Angle{arc.sweep}.degreesValue(), -60, 1e-9);
    EXPECT_NEAR(arc.point.x, 100, 1e-9);
    EXPECT_NEAR(arc.point.y, 50, 1e-9);
    EXPECT_EQ(wedge.currentPoint(), c);

    EXPECT_TRUE(wedge.contains(at(c, 30, 30)));
    EXPECT_FALSE(wedge.contains(at(c, 30, 90)));
    EXPECT_FALSE(wedge.contains(at(c, 30, -30)));

    // The other way round the same angles sweep the rest of the circle.
    Path rest;
    rest.addArc(c, 50, Angle::degrees(0), Angle::degrees(60), true);
    EXPECT_NEAR(Angle{rest.elements()[1].sweep}.degreesValue(), -300, 1e-9);
}

TEST(PathTest, FullTurnDrawsADiscAndEqualAnglesDrawNothing) {
    CGPoint c{50, 50};
    Path disc;
    disc.addArc(c, 10, Angle::degrees(0), Angle::degrees(360), true);
    disc.addLine(c);
    EXPECT_NEAR(Angle{disc.elements()[1].sweep}.degreesValue(), -360, 1e-9);
    EXPECT_TRUE(disc.contains(at(c, 5, 200)));
    CGRect box = disc.boundingRect();
    EXPECT_NEAR(box.width(), 20, 1e-3);
    EXPECT_NEAR(box.minX(), 40, 1e-3);

    Path empty;
    empty.addArc(c, 50, Angle::degrees(120), Angle::degrees(120), true);
    empty.addLine(c);
    EXPECT_DOUBLE_EQ(empty.elements()[1].sweep, 0);
    EXPECT_FALSE(empty.contains(at(c, 25, 120)));
}
