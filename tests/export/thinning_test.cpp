#include "export/thinning.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "common/errors.h"
#include "export_fixtures.h"

namespace km {
namespace {

using test::MakeModel;
using test::Point;
using test::SetProfile;

std::vector<Point> Vertices(const ThinnedProfiles& model) {
  std::vector<Point> v;
  for (int32_t i = 0; i < model.vertexCount; ++i) v.push_back({model.x[i], model.y[i], model.z[i]});
  return v;
}

std::vector<Point> Straight(int points) {
  std::vector<Point> p;
  for (int k = 0; k < points; ++k) p.push_back({1.0f, 0.5f * k, -2.0f});
  return p;
}

// Every span is rejected: each skipped point lies 1 away from any span's line.
std::vector<Point> Zigzag(int points) {
  std::vector<Point> p;
  for (int k = 0; k < points; ++k) p.push_back({k % 2 == 0 ? 0.0f : 1.0f, static_cast<float>(k), 0.0f});
  return p;
}

std::vector<Point> Pick(const std::vector<Point>& points, std::initializer_list<int> indices) {
  std::vector<Point> picked;
  for (int k : indices) picked.push_back(points[k]);
  return picked;
}

// A single profile thinned as profile 0 of two, so that the last profile's
// repeated point does not show.
std::vector<Point> ThinOne(const std::vector<Point>& points, int maxPolygonLength = 30,
                           float errorThreshold = 0.5f) {
  PointCloudStore store;
  SetProfile(store, 0, points);
  SetProfile(store, 1, {{9, 9, 9}});
  const ThinnedProfiles model = ThinProfiles(store, 1, maxPolygonLength, errorThreshold);
  std::vector<Point> v = Vertices(model);
  v.resize(model.profileStart[1]);
  return v;
}

TEST(ThinProfiles, StraightProfileKeepsItsEndsAndTheLastProfileRepeatsItsEnd) {
  PointCloudStore store;
  const auto a = Straight(10), b = Straight(10);
  SetProfile(store, 0, a);
  SetProfile(store, 1, b);
  const ThinnedProfiles model = ThinProfiles(store, 1, 30, 0.5f);
  EXPECT_EQ(Vertices(model), (std::vector<Point>{a[0], a[9], b[0], b[9], b[9]}));
  EXPECT_EQ(model.profileStart, (std::vector<int32_t>{0, 2, 5}));
  EXPECT_EQ(model.profileIndex, (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(model.vertexCount, 5);
}

TEST(ThinProfiles, RejectedProfileKeepsEveryOtherPoint) {
  const auto odd = Zigzag(8);  // last index 7: the walk stops on P(6)
  EXPECT_EQ(ThinOne(odd), Pick(odd, {0, 2, 4, 6}));
  const auto even = Zigzag(9);
  EXPECT_EQ(ThinOne(even), Pick(even, {0, 2, 4, 6, 8}));

  PointCloudStore store;  // as the last profile, P(c) follows P(c - 1)
  SetProfile(store, 0, odd);
  EXPECT_EQ(Vertices(ThinProfiles(store, 0, 30, 0.5f)), Pick(odd, {0, 2, 4, 6, 7}));
}

TEST(ThinProfiles, NoSpanTriedOrAcceptedKeepsEveryOtherPoint) {
  struct Case {
    int maxPolygonLength;
    float errorThreshold;
  };
  const Case cases[] = {{1, 0.5f}, {0, 0.5f}, {-7, 0.5f}, {INT_MIN, 0.5f}, {30, 0.0f}, {30, -1.0f}};
  const auto straight = Straight(6);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "L " << c.maxPolygonLength << " T " << c.errorThreshold);
    EXPECT_EQ(ThinOne(straight, c.maxPolygonLength, c.errorThreshold), Pick(straight, {0, 2, 4}));
  }
  // A huge L only tries the spans that fit.
  EXPECT_EQ(ThinOne(straight, INT_MAX, 0.5f), Pick(straight, {0, 5}));
}

TEST(ThinProfiles, ShortProfilesWhateverTheThreshold) {
  const std::vector<Point> bent = {{0, 0, 0}, {5, 1, 0}, {0, 2, 0}};
  for (float threshold : {0.5f, 1000.0f}) {
    SCOPED_TRACE(threshold);
    EXPECT_EQ(ThinOne(Pick(bent, {0}), 30, threshold), Pick(bent, {0, 0}));
    EXPECT_EQ(ThinOne(Pick(bent, {0, 1}), 30, threshold), Pick(bent, {0, 1}));
    EXPECT_EQ(ThinOne(bent, 30, threshold), Pick(bent, {0, 2}));
  }
  for (int n = 1; n <= 3; ++n) {  // as the last profile
    SCOPED_TRACE(n);
    PointCloudStore store;
    const std::vector<Point> points(bent.begin(), bent.begin() + n);
    SetProfile(store, 0, points);
    const std::vector<Point> expected = {points[0], points[n == 1 ? 0 : n - 1], points[n - 1]};
    EXPECT_EQ(Vertices(ThinProfiles(store, 0, 30, 0.5f)), expected);
  }
}

TEST(ThinProfiles, SpanEndingOnItsStartIsSkipped) {
  const std::vector<Point> loop = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {0, 0, 0}};
  EXPECT_EQ(ThinOne(loop, 4), Pick(loop, {0, 3}));
}

TEST(ThinProfiles, DistanceIsMeasuredToTheWholeLine) {
  // P(1) lies on the line beyond the span's end: distance 0, not 3.
  const std::vector<Point> p = {{0, 0, 0}, {5, 0, 0}, {1, 0, 0}, {2, 0, 0}};
  EXPECT_EQ(ThinOne(p), Pick(p, {0, 3}));
}

TEST(ThinProfiles, SpanErrorIsTheSumOfDistancesAndMustStayBelowTheThreshold) {
  // Three points 0.2 off the long span: the sum 0.6 rejects it, the
  // shorter span to P(3) is accepted.
  const std::vector<Point> sum = {{0, 0, 0}, {1, 0.2f, 0}, {2, 0.2f, 0}, {3, 0.2f, 0}, {4, 0, 0}};
  EXPECT_EQ(ThinOne(sum, 4), Pick(sum, {0, 3}));
  // P(1) lies exactly 0.5 off every span that skips it: rejected.
  const std::vector<Point> equal = {{0, 0, 0}, {1, 0.5f, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}};
  EXPECT_EQ(ThinOne(equal, 4), Pick(equal, {0, 2, 4}));
  EXPECT_EQ(ThinOne(equal, 4, 0.5000001f), Pick(equal, {0, 4}));
}

TEST(ThinProfiles, LongestAcceptedSpanWinsUpToTheMaxPolygonLength) {
  const auto straight = Straight(40);
  EXPECT_EQ(ThinOne(straight, 30), Pick(straight, {0, 30, 39}));
  EXPECT_EQ(ThinOne(straight, 13), Pick(straight, {0, 13, 26, 39}));
}

TEST(ThinProfiles, ProfilesWithoutPointsAreLeftOut) {
  PointCloudStore store;
  const auto a = Straight(3), b = Zigzag(2);
  SetProfile(store, 0, a);
  store.lastIndex[1] = -1;
  SetProfile(store, 2, b);
  store.lastIndex[3] = -1;  // the last profile: its predecessor ends the model
  const ThinnedProfiles model = ThinProfiles(store, 3, 30, 0.5f);
  EXPECT_EQ(model.profileIndex, (std::vector<int32_t>{0, 2}));
  EXPECT_EQ(model.profileStart, (std::vector<int32_t>{0, 2, 5}));
  EXPECT_EQ(Vertices(model), (std::vector<Point>{a[0], a[2], b[0], b[1], b[1]}));

  store.lastIndex[0] = store.lastIndex[2] = -1;
  const ThinnedProfiles none = ThinProfiles(store, 3, 30, 0.5f);
  EXPECT_EQ(none.vertexCount, 0);
  EXPECT_EQ(none.ProfileCount(), 0);
  EXPECT_EQ(none.profileStart, (std::vector<int32_t>{0}));
  EXPECT_EQ(CountFaces(none), 0);
}

TEST(ThinProfiles, FreshStoreIsTheOriginThreeTimes) {
  PointCloudStore store;
  const ThinnedProfiles model = ThinProfiles(store, 0, 30, 0.5f);
  EXPECT_EQ(Vertices(model), (std::vector<Point>(3, Point{0, 0, 0})));
  EXPECT_EQ(CountFaces(model), 0);
}

TEST(ThinProfiles, HoldsMoreThan65535VerticesAnd360Profiles) {
  PointCloudStore store;
  const auto zigzag = Zigzag(201);  // 101 vertices each
  for (int p = 0; p < PointCloudStore::MaxFrames; ++p) SetProfile(store, p, zigzag);
  const ThinnedProfiles model = ThinProfiles(store, PointCloudStore::MaxFrames - 1, 30, 0.5f);
  EXPECT_EQ(model.ProfileCount(), 719);
  EXPECT_EQ(model.vertexCount, 719 * 101 + 1);
  EXPECT_EQ(model.profileStart[718], 718 * 101);
  EXPECT_EQ(model.profileStart.back(), model.vertexCount);
  // Coincident profiles: the walk alternates, 100 steps on the first
  // profile and 99 on the second.
  EXPECT_EQ(CountFaces(model), 718LL * 199);
}

TEST(ThinProfiles, ValuesOutOfSinglePrecisionRaiseOverflow) {
  const std::vector<std::vector<Point>> cases = {
      {{-3e38f, 0, 0}, {0, 1, 0}, {3e38f, 0, 0}},  // the span's direction
      {{0, 0, 0}, {1e30f, 0, 0}, {1e-40f, 0, 0}},  // the foot's line parameter
  };
  for (const auto& points : cases) {
    PointCloudStore store;
    SetProfile(store, 0, points);
    try {
      ThinProfiles(store, 0, 30, 0.5f);
      ADD_FAILURE() << "no error";
    } catch (const FloatError& e) {
      EXPECT_STREQ(e.what(), kOverflowMessage);
    }
  }
}

TEST(WalkStrip, EqualDiagonalsStepOnTheFirstProfile) {
  const ThinnedProfiles square = MakeModel({{{0, 0, 0}, {0, 1, 0}}, {{1, 0, 0}, {1, 1, 0}, {1, 2, 0}}});
  EXPECT_EQ(test::StripFaces(square, 0), (std::vector<StripFace>{{2, 0, 1}}));
  // 1000 against 1000.0000005: equal once narrowed to single precision.
  const ThinnedProfiles narrowed =
      MakeModel({{{0, 0, 0}, {0, 1, 0}}, {{1000, 1, 0.03125f}, {1000, 0, 0}, {1000, 5, 0}}});
  EXPECT_EQ(test::StripFaces(narrowed, 0), (std::vector<StripFace>{{2, 0, 1}}));
  // A clearly shorter diagonal to the second profile steps there first.
  const ThinnedProfiles shorter = MakeModel({{{0, 0, 0}, {0, 1, 0}}, {{1, -1, 0}, {1, 0, 0}, {1, 5, 0}}});
  EXPECT_EQ(test::StripFaces(shorter, 0), (std::vector<StripFace>{{2, 0, 3}, {3, 0, 1}}));
}

TEST(WalkStrip, EndsInAFanAroundTheSecondProfilesLastVertex) {
  const ThinnedProfiles model =
      MakeModel({{{0, 0, 0}, {0, 1, 0}, {0, 2, 0}, {0, 3, 0}, {0, 4, 0}}, {{1, 0, 0}, {1, 0.5f, 0}}});
  EXPECT_EQ(test::StripFaces(model, 0),
            (std::vector<StripFace>{{5, 0, 6}, {6, 0, 1}, {6, 1, 2}, {6, 2, 3}, {6, 3, 4}}));
}

TEST(WalkStrip, EndsWhenTheFirstProfileIsDone) {
  const ThinnedProfiles model =
      MakeModel({{{0, 0, 0}, {0, 0.5f, 0}}, {{1, 0, 0}, {1, 1, 0}, {1, 2, 0}, {1, 3, 0}, {1, 4, 0}}});
  EXPECT_EQ(test::StripFaces(model, 0), (std::vector<StripFace>{{2, 0, 1}}));
}

// A seeded random surface: every strip joins only its two profiles, each
// step adds the next vertex of one of them, the first profile is walked to
// its end, the last profile is not joined back to the first, and a second
// walk yields the same faces.
TEST(WalkStrip, StripsOfARandomSurfaceJoinNeighboursOnly) {
  PointCloudStore store;
  std::mt19937 rng(1234);
  std::uniform_real_distribution<float> noise(-0.4f, 0.4f);
  std::uniform_int_distribution<int> length(1, 60);
  const int frameCounter = 40;
  for (int p = 0; p <= frameCounter; ++p) {
    std::vector<Point> points;
    const int n = length(rng);
    for (int k = 0; k < n; ++k) points.push_back({10.0f + noise(rng), 0.3f * k, 0.2f * p + noise(rng)});
    SetProfile(store, p, points);
  }
  const ThinnedProfiles model = ThinProfiles(store, frameCounter, 8, 0.7f);
  ASSERT_EQ(model.ProfileCount(), frameCounter + 1);
  std::vector<StripFace> all;
  for (int q = 0; q < frameCounter; ++q) {
    SCOPED_TRACE(q);
    const int32_t s0 = model.profileStart[q], s1 = model.profileStart[q + 1], s2 = model.profileStart[q + 2];
    ASSERT_GE(s1 - s0, 2);
    int32_t a = s0, b = s1;
    for (const StripFace& f : test::StripFaces(model, q)) {
      ASSERT_EQ(f.a, a);
      ASSERT_EQ(f.b, b);
      ASSERT_TRUE(f.n == a + 1 || f.n == b + 1);
      if (f.n == a + 1)
        ++a;
      else
        ++b;
      ASSERT_LT(b, s2);
      all.push_back(f);
    }
    EXPECT_EQ(a, s1 - 1);
  }
  EXPECT_EQ(test::AllFaces(model), all);
  EXPECT_EQ(CountFaces(model), static_cast<int64_t>(all.size()));
}

}  // namespace
}  // namespace km
