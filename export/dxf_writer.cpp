#include "export/dxf_writer.h"

#include "export/atomic_save.h"
#include "export/text_output.h"

namespace km {
namespace {

// One corner: group codes 1x, 2x, 3x with x, y and z, each value "%-9.3f".
void Corner(TextOutput& out, const ThinnedProfiles& model, int32_t vertex, char digit) {
  const char codes[3][5] = {
      {'1', digit, '\r', '\n', 0}, {'2', digit, '\r', '\n', 0}, {'3', digit, '\r', '\n', 0}};
  out.Text(codes[0]);
  out.Fixed(model.x[vertex], 3, 9);
  out.EndLine();
  out.Text(codes[1]);
  out.Fixed(model.y[vertex], 3, 9);
  out.EndLine();
  out.Text(codes[2]);
  out.Fixed(model.z[vertex], 3, 9);
  out.EndLine();
}

}  // namespace

void WriteDxf(std::ostream& stream, const ThinnedProfiles& model) {
  TextOutput out(stream);
  out.Text("0\r\nSECTION\r\n2\r\nENTITIES\r\n999\r\nKel-morph generated data\r\n");
  WalkAllStrips(model, [&](const StripFace& f) {
    out.Text("0\r\n3DFACE\r\n8\r\nBody\r\n62\r\n8\r\n");
    Corner(out, model, f.b, '0');
    Corner(out, model, f.a, '1');
    Corner(out, model, f.n, '2');
    Corner(out, model, f.n, '3');  // a triangle: the fourth corner is the third
  });
  out.Text("0\r\nENDSEC\r\n0\r\nEOF\r\n");
}

void WriteDxf(const std::string& path, const ThinnedProfiles& model) {
  SaveFileAtomically(path, [&](std::ostream& out) { WriteDxf(out, model); });
}

}  // namespace km
