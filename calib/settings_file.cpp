#include "calib/settings_file.h"

#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

#include "calib/calibration_solve.h"
#include "common/errors.h"
#include "common/numbers.h"

namespace km {
namespace {

namespace fs = std::filesystem;

constexpr const char* kFilter = "Kel Morph設定ファイル|*.cfg";
constexpr const char* kProposedName = "kelmorph.cfg";
constexpr const char* kHeader = "#KEL MORPH CONFIG FILE Ver. 1.0";
constexpr const char* kLineEnd = " \r\n";
constexpr const char* kSeparator = " , ";

// Edits of the six reference lines: screen X, screen Y, real Y, real Z
// (0: the rotation centre has no real Z; its place is written as 0).
constexpr std::array<std::array<int, 4>, 6> kReferenceEdits = {{
    {5, 6, 17, 18},
    {7, 8, 19, 20},
    {9, 10, 21, 22},
    {11, 12, 23, 24},
    {13, 14, 25, 26},
    {15, 16, 27, 0},
}};

FileDialogRequest SettingsDialogRequest(bool save) {
  FileDialogRequest r;
  r.filter = kFilter;
  r.fileName = kProposedName;
  r.overwritePrompt = save;
  return r;
}

// ---------------------------------------------------------------- saving

// Every stored field, converted as the file holds it.
struct StoredSettings {
  std::array<int32_t, 12> screen{};  // Edit5 .. Edit16
  std::array<float, 11> real{};      // Edit17 .. Edit27
  int mode = 0;
  float degrees = 0, millimetres = 0, minimumDifference = 0;
  int outputMode = 0;
  float errorThreshold = 0;
  int32_t maxPolygonLength = 0;
  int lighting = 0;
  bool filter = false, faceFront = false;
};

// Converts in the order the window's fields are listed, so the first field
// that is not a number is the one reported.
StoredSettings ConvertSettings(const SettingsState& s) {
  StoredSettings v;
  for (int i = 0; i < 12; ++i) v.screen[i] = ParseWhole(s.Edit(5 + i).text);
  for (int i = 0; i < 11; ++i) v.real[i] = ToSingle(ParseDecimal(s.Edit(17 + i).text));
  v.mode = s.RadioGroup2.index;
  v.degrees = ToSingle(ParseDecimal(s.Edit(1).text));
  v.millimetres = ToSingle(ParseDecimal(s.Edit(2).text));
  v.minimumDifference = ToSingle(ParseDecimal(s.Edit(33).text));
  v.outputMode = s.RadioGroup1.index;
  v.errorThreshold = ToSingle(ParseDecimal(s.Edit(3).text));
  v.maxPolygonLength = ParseWhole(s.Edit(4).text);
  v.lighting = s.RadioGroup3.index;
  v.filter = s.CheckBox3;
  v.faceFront = s.CheckBox4;
  return v;
}

std::string Six(float value) { return FixedText(value, 6); }
std::string Whole(int64_t value) { return WholeNumberText(value); }

// One line: a space, the values joined by " , ", a space, CR LF.
template <typename... Texts>
void AppendLine(std::string& out, const std::string& first, const Texts&... rest) {
  out += ' ';
  out += first;
  ((out += kSeparator, out += rest), ...);
  out += kLineEnd;
}

std::string FormatSettingsFile(const StoredSettings& v) {
  std::string out = kHeader;
  out += "\r\n";
  for (int row = 0; row < 6; ++row) {
    const float realZ = row < 5 ? v.real[2 * row + 1] : 0.0f;
    AppendLine(out, Whole(v.screen[2 * row]), Whole(v.screen[2 * row + 1]), Six(v.real[2 * row]), Six(realZ));
  }
  AppendLine(out, Whole(v.mode), Six(v.degrees), Six(v.millimetres), Six(v.minimumDifference));
  AppendLine(out, Whole(v.outputMode), Six(v.errorThreshold), Whole(v.maxPolygonLength));
  AppendLine(out, Whole(v.lighting), Whole(v.filter ? 1 : 0), Whole(v.faceFront ? 1 : 0));
  return out;
}

[[noreturn]] void ThrowSaveError(const std::string& path, int error) {
  throw FileError("設定ファイル '" + path + "' を保存できません: " + std::strerror(error));
}

// Writes to a temporary file beside the target and renames it over the
// target only when every byte has reached the disk, so a failed save (no
// permission, disk full) leaves the previous file whole. A replaced file
// keeps its permissions; a new one gets what the umask allows.
void ReplaceFile(const std::string& path, const std::string& bytes) {
  const fs::path target(path);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string temp = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(temp.data());
  if (fd < 0) ThrowSaveError(path, errno);
  const auto fail = [&](int error) {
    close(fd);
    unlink(temp.c_str());
    ThrowSaveError(path, error);
  };

  struct stat existing {};
  mode_t mode;
  if (stat(path.c_str(), &existing) == 0) {
    mode = existing.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  if (fchmod(fd, mode) != 0) fail(errno);

  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail(n < 0 ? errno : EIO);
    done += static_cast<size_t>(n);
  }
  if (fsync(fd) != 0) fail(errno);
  if (close(fd) != 0) {
    const int error = errno;
    unlink(temp.c_str());
    ThrowSaveError(path, error);
  }
  if (rename(temp.c_str(), path.c_str()) != 0) {
    const int error = errno;
    unlink(temp.c_str());
    ThrowSaveError(path, error);
  }
}

// ---------------------------------------------------------------- loading

// Reads the file as the scanf family does with the patterns " %s", " %d",
// " %lf" and " , ", byte by byte and independent of the locale. Once a
// token does not match, every later read fails too and the file is read no
// further.
class ScanReader {
 public:
  explicit ScanReader(std::FILE* file) : file_(file) { next_ = std::getc(file_); }

  // " %s": a run of non-blank bytes of any length, discarded.
  void SkipWord() {
    if (!SkipBlanks()) return;
    while (next_ != EOF && !IsBlank(next_)) Advance();
  }

  // " %d": an optional sign and decimal digits that fit 32 bits.
  std::optional<int32_t> Int() {
    if (!SkipBlanks()) return std::nullopt;
    bool negative = false;
    if (next_ == '+' || next_ == '-') negative = Advance() == '-';
    if (!IsDigit(next_)) return Fail<int32_t>();
    int64_t value = 0;
    while (IsDigit(next_)) {
      value = value * 10 + (Advance() - '0');
      if (value > int64_t{INT32_MAX} + 1) return Fail<int32_t>();
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return Fail<int32_t>();
    return static_cast<int32_t>(value);
  }

  // " %lf": sign, digits with an optional point, an optional exponent. A
  // number beyond the double range does not match.
  std::optional<double> Real() {
    if (!SkipBlanks()) return std::nullopt;
    std::string token;
    if (next_ == '+' || next_ == '-') token += static_cast<char>(Advance());
    size_t digits = AppendDigits(token);
    if (next_ == '.') {
      token += static_cast<char>(Advance());
      digits += AppendDigits(token);
    }
    if (digits == 0) return Fail<double>();
    if (next_ == 'e' || next_ == 'E') {
      token += static_cast<char>(Advance());
      if (next_ == '+' || next_ == '-') token += static_cast<char>(Advance());
      if (AppendDigits(token) == 0) return Fail<double>();
    }
    errno = 0;
    const double value = strtod_l(token.c_str(), nullptr, CLocale());
    if (errno == ERANGE && (value == HUGE_VAL || value == -HUGE_VAL)) return Fail<double>();
    return value;
  }

  // " , %d" and " , %lf".
  std::optional<int32_t> CommaInt() { return Comma() ? Int() : std::nullopt; }
  std::optional<double> CommaReal() { return Comma() ? Real() : std::nullopt; }

 private:
  static bool IsBlank(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
  }
  static bool IsDigit(int c) { return c >= '0' && c <= '9'; }

  static locale_t CLocale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
  }

  int Advance() {
    const int c = next_;
    next_ = std::getc(file_);
    return c;
  }

  template <typename T>
  std::optional<T> Fail() {
    ok_ = false;
    return std::nullopt;
  }

  // Skips blanks and line ends; false once reading has stopped or at the end.
  bool SkipBlanks() {
    if (!ok_) return false;
    while (IsBlank(next_)) Advance();
    if (next_ == EOF) ok_ = false;
    return ok_;
  }

  size_t AppendDigits(std::string& token) {
    size_t n = 0;
    for (; IsDigit(next_); ++n) token += static_cast<char>(Advance());
    return n;
  }

  bool Comma() {
    if (!SkipBlanks()) return false;
    if (next_ != ',') return ok_ = false;
    Advance();
    return true;
  }

  std::FILE* file_;
  int next_;
  bool ok_ = true;
};

void SetWhole(SettingsState& s, int edit, std::optional<int32_t> value) {
  if (value) s.Edit(edit).text = WholeNumberText(*value);
}

void SetGeneral(SettingsState& s, int edit, std::optional<double> value) {
  if (value) s.Edit(edit).text = GeneralNumberText(*value);
}

// Reads the file's values into the settings. A value the file does not
// supply leaves its control as it was. The solve that a change of mode runs
// may raise; the caller ends the load there.
void ReadValues(Context& ctx, ScanReader& in) {
  SettingsState& s = ctx.settings;
  for (int i = 0; i < 5; ++i) in.SkipWord();
  in.Real();  // the version number, not checked

  for (const auto& edits : kReferenceEdits) {
    SetWhole(s, edits[0], in.Int());
    SetWhole(s, edits[1], in.CommaInt());
    SetGeneral(s, edits[2], in.CommaReal());
    const auto realZ = in.CommaReal();
    if (edits[3] != 0) SetGeneral(s, edits[3], realZ);
  }

  const auto mode = in.Int();
  const auto degrees = in.CommaReal();
  const auto millimetres = in.CommaReal();
  const auto minimumDifference = in.CommaReal();
  // A different mode runs the Mode group's click handler, and so the solve,
  // with the reference rows just read and the step fields not yet read.
  if (mode) SetModeIndex(ctx, *mode);
  SetGeneral(s, 1, degrees);
  SetGeneral(s, 2, millimetres);
  SetGeneral(s, 33, minimumDifference);

  if (const auto outputMode = in.Int()) SetRadioIndex(s.RadioGroup1, *outputMode);
  SetGeneral(s, 3, in.CommaReal());
  SetWhole(s, 4, in.CommaInt());

  if (const auto lighting = in.Int()) SetRadioIndex(s.RadioGroup3, *lighting);
  if (const auto filter = in.CommaInt()) s.CheckBox3 = *filter != 0;
  if (const auto faceFront = in.CommaInt()) s.CheckBox4 = *faceFront != 0;
}

// Mode colouring after a load; with no Mode selected the rotation-centre
// fields are greyed and the step fields keep their colours.
void ColourAfterLoad(SettingsState& s) {
  if (s.RadioGroup2.index >= 0) {
    ApplyModeColours(s);
    return;
  }
  for (int edit : {15, 16, 27}) s.Edit(edit).colour = EditColour::Border;
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// Loads the file at path; false (and nothing changed) when it cannot be
// opened. An error of the mode-change solve ends the load silently: what was
// read before stays, the final colouring is skipped.
bool LoadFromPath(Context& ctx, const std::string& path, std::string* openError) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    if (openError) *openError = std::strerror(errno);
    return false;
  }
  // Only a regular file: a folder reads as nothing, and a device such as
  // /dev/zero would never end.
  struct stat info {};
  if (fstat(fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode)) {
    if (openError) *openError = S_ISDIR(info.st_mode) ? std::strerror(EISDIR) : "not a regular file";
    return false;
  }
  ScanReader in(file.get());
  try {
    ReadValues(ctx, in);
  } catch (const KelError&) {
    ctx.platform.SettingsChanged();
    return true;
  }
  file.reset();
  ColourAfterLoad(ctx.settings);
  ctx.platform.SettingsChanged();
  return true;
}

}  // namespace

void SaveSettingsFile(Context& ctx) {
  const std::string bytes = FormatSettingsFile(ConvertSettings(ctx.settings));
  const auto path = ctx.platform.SaveFileDialog(SettingsDialogRequest(true));
  if (!path) return;
  ReplaceFile(*path, bytes);
}

void LoadSettingsFile(Context& ctx) {
  const auto path = ctx.platform.OpenFileDialog(SettingsDialogRequest(false));
  if (!path) return;
  LoadFromPath(ctx, *path, nullptr);
}

void WriteSettingsFile(Context& ctx, const std::string& path) {
  ReplaceFile(path, FormatSettingsFile(ConvertSettings(ctx.settings)));
}

void ReadSettingsFile(Context& ctx, const std::string& path) {
  std::string reason;
  if (!LoadFromPath(ctx, path, &reason))
    throw FileError("設定ファイル '" + path + "' を開けません: " + reason);
}

}  // namespace km
