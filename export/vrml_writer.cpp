#include "export/vrml_writer.h"

#include "export/atomic_save.h"
#include "export/text_output.h"

namespace km {
namespace {

constexpr const char* kHeadV1[] = {
    "#VRML V1.0 ascii",
    "Separator {",
    " PerspectiveCamera{ position 0 0 60 }",
    " Material { diffuseColor [1.0 1.0 1.0] }",
    " Coordinate3 {",
    "  point [ ",
};
constexpr const char* kHeadV2[] = {
    "#VRML V2.0 utf8",
    "Viewpoint{ position 0 0 60 }",
    "Shape {",
    " appearance Appearance {",
    "  material Material { diffuseColor 1.0 1.0 1.0 }",
    " }",
    " geometry IndexedFaceSet {",
    "  creaseAngle 0.65 ",
    "  coord Coordinate {",
    "   point [ ",
};
constexpr const char* kMiddleV1[] = {"   ]", " }", " IndexedFaceSet {", "  coordIndex ["};
constexpr const char* kMiddleV2[] = {"   ]", "  }", "  coordIndex ["};
constexpr const char* kTailV1[] = {" ]", " }", "}"};
constexpr const char* kTailV2[] = {"  ]", "  solid FALSE", "  ccw TRUE", " }", "}"};

template <size_t N>
void Lines(TextOutput& out, const char* const (&lines)[N]) {
  for (const char* line : lines) {
    out.Text(line);
    out.EndLine();
  }
}

}  // namespace

void WriteVrml(std::ostream& stream, const ThinnedProfiles& model, int version) {
  TextOutput out(stream);
  if (version == 1)
    Lines(out, kHeadV1);
  else
    Lines(out, kHeadV2);

  // The first vertex of every profile but the last is marked with the
  // profile's store index.
  int32_t nextMarked = 0;
  const int32_t markedProfiles = model.ProfileCount() - 1;
  for (int32_t i = 0; i < model.vertexCount; ++i) {
    out.Text("   ");
    out.Fixed(model.x[i], 4, 10);
    out.Text(" ");
    out.Fixed(model.y[i], 4, 10);
    out.Text(" ");
    out.Fixed(-static_cast<double>(model.z[i]), 4, 10);
    out.Text(" ,# ");
    out.Whole(i);
    if (nextMarked < markedProfiles && model.profileStart[nextMarked] == i) {
      out.Text(" No.");
      out.Whole(model.profileIndex[nextMarked]);
      ++nextMarked;
    }
    out.EndLine();
  }

  if (version == 1)
    Lines(out, kMiddleV1);
  else
    Lines(out, kMiddleV2);

  WalkAllStrips(model, [&out](const StripFace& f) {
    out.Text("    ");
    out.Whole(f.b, 5);
    out.Text(",");
    out.Whole(f.a, 5);
    out.Text(",");
    out.Whole(f.n, 5);
    out.Text(",-1,\r\n");
  });

  if (version == 1)
    Lines(out, kTailV1);
  else
    Lines(out, kTailV2);
}

void WriteVrml(const std::string& path, const ThinnedProfiles& model, int version) {
  SaveFileAtomically(path, [&](std::ostream& out) { WriteVrml(out, model, version); });
}

}  // namespace km
