#include "export/mqo_writer.h"

#include "export/atomic_save.h"
#include "export/text_output.h"

namespace km {
namespace {

constexpr const char* kHead[] = {
    "Metasequoia Document",
    "Format Text Ver 1.0",
    "",
    "Scene {",
    "\tpos 0.0000 0.0000 1500.0000",
    "\tlookat 0.0000 0.0000 0.0000",
    "\thead -0.5236",
    "\tpich 0.5236",
    "\tortho 0",
    "\tzoom2 5.0000",
    "\tamb 0.250 0.250 0.250",
    "}",
    "",
    "Object \"obj1\" {",
    "\tdepth 0",
    "\tfolding 0",
    "\tscale 1.000000 1.000000 1.000000",
    "\trotation 0.000000 0.000000 0.000000",
    "\ttranslation 0.000000 0.000000 0.000000",
    "\tvisible 15",
    "\tlocking 0",
    "\tshading 1",
    "\tfacet 59.5",
    "\tcolor 0.898 0.498 0.698",
    "\tcolor_type 0",
    "",
};

}  // namespace

void WriteMqo(std::ostream& stream, const ThinnedProfiles& model) {
  TextOutput out(stream);
  for (const char* line : kHead) {
    out.Text(line);
    out.EndLine();
  }

  out.Text("vertex ");
  out.Whole(model.vertexCount);
  out.Text(" {\r\n");
  for (int32_t i = 0; i < model.vertexCount; ++i) {
    out.Text("\t");
    out.Fixed(model.x[i], 4);
    out.Text(" ");
    out.Fixed(model.y[i], 4);
    out.Text(" ");
    out.Fixed(-static_cast<double>(model.z[i]), 4);
    out.EndLine();
  }
  out.Text("}\r\n\r\n");

  // The chunk head carries the face count, so the strips are walked twice.
  out.Text("face ");
  out.Whole(CountFaces(model));
  out.Text(" {\r\n");
  WalkAllStrips(model, [&out](const StripFace& f) {
    out.Text("\t3 V(");
    out.Whole(f.a);
    out.Text(" ");
    out.Whole(f.b);
    out.Text(" ");
    out.Whole(f.n);
    out.Text(")\r\n");
  });
  out.Text("\t}\r\n}\r\n\r\nEof\r\n");
}

void WriteMqo(const std::string& path, const ThinnedProfiles& model) {
  SaveFileAtomically(path, [&](std::ostream& out) { WriteMqo(out, model); });
}

}  // namespace km
