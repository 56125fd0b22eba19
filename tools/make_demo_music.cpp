// Synthesizes the short demo pieces that ship with the player, so that a
// first start without any music still has something to browse and play.
// Output is raw 16-bit little-endian mono PCM at 44100 Hz; make_demo_music.sh
// encodes it to MP3.
//   make_demo_music --list   one line per piece: id, folder, number, title (tab-separated)
//   make_demo_music <id>     that piece's samples on standard output
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;
constexpr double kTailSeconds = 2.0;  // lets the last notes and the reverb ring out

enum class Sound { Bell, Pluck, Pad, Bass, Kick, Hat };

struct Voice {
  Sound sound;
  double volume;
  std::string score;  // "C4+E4+G4:4 r:1 A4:0.5 B4 ..." (a length holds until changed; '|' ignored)
};

struct Piece {
  const char* id;
  const char* folder;
  int number;
  const char* title;
  double bpm;
  double reverb;  // wet share, 0..1
  std::vector<Voice> voices;
};

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text + " ";
  return out;
}

// ---- Instruments -----------------------------------------------------------

// A deterministic noise source, so that every run makes the same files.
double Noise() {
  static uint32_t state = 0x2545F491;
  state = state * 1664525u + 1013904223u;
  return static_cast<double>(state >> 8) / 8388608.0 - 1.0;
}

void AddPartials(std::vector<float>& out, size_t start, double freq, double volume, double seconds,
                 const double (*partials)[3], int count, double attack, double release,
                 double noteSeconds) {
  size_t length = static_cast<size_t>(seconds * kRate);
  if (start + length > out.size()) length = out.size() - start;
  for (size_t i = 0; i < length; ++i) {
    double t = static_cast<double>(i) / kRate;
    double env = std::min(1.0, t / attack);
    if (t > noteSeconds) env *= std::max(0.0, 1.0 - (t - noteSeconds) / release);
    double sample = 0;
    for (int p = 0; p < count; ++p) {
      const double* h = partials[p];  // frequency ratio, level, decay time
      double f = freq * h[0];
      if (f >= kRate / 2.5) continue;
      sample += h[1] * std::exp(-t / h[2]) * std::sin(2 * kPi * f * t);
    }
    out[start + i] += static_cast<float>(volume * env * sample);
  }
}

void Render(std::vector<float>& out, Sound sound, double freq, size_t start, double seconds,
            double volume) {
  static const double bell[][3] = {{1, 1, 1.6}, {2, 0.4, 0.8}, {3, 0.18, 0.45}, {4.2, 0.07, 0.25}};
  static const double pluck[][3] = {{1, 1, 1.1},     {2, 0.5, 0.55}, {3, 0.3, 0.35},
                                    {4, 0.16, 0.25}, {5, 0.08, 0.2}, {6, 0.05, 0.15}};
  static const double bass[][3] = {{1, 1, 3}, {2, 0.28, 1}, {3, 0.1, 0.5}};
  switch (sound) {
    case Sound::Bell:
      AddPartials(out, start, freq, volume, 2.6, bell, 4, 0.004, 1, 10);
      break;
    case Sound::Pluck:
      AddPartials(out, start, freq, volume, seconds + 0.08, pluck, 6, 0.003, 0.08, seconds);
      break;
    case Sound::Bass:
      AddPartials(out, start, freq, volume, seconds + 0.06, bass, 3, 0.01, 0.06, seconds);
      break;
    case Sound::Pad:
      // Three slightly detuned voices breathe against each other.
      for (double cents : {-7.0, 0.0, 7.0}) {
        static const double pad[][3] = {{1, 1, 60}, {2, 0.25, 60}, {3, 0.08, 60}};
        AddPartials(out, start, freq * std::pow(2.0, cents / 1200), volume / 3, seconds + 0.9, pad,
                    3, 0.45, 0.9, seconds);
      }
      break;
    case Sound::Kick: {
      size_t length = std::min(out.size() - start, static_cast<size_t>(0.35 * kRate));
      double phase = 0;
      for (size_t i = 0; i < length; ++i) {
        double t = static_cast<double>(i) / kRate;
        phase += 2 * kPi * (45 + 70 * std::exp(-t / 0.04)) / kRate;
        out[start + i] += static_cast<float>(volume * std::exp(-t / 0.12) * std::sin(phase));
      }
      break;
    }
    case Sound::Hat: {
      size_t length = std::min(out.size() - start, static_cast<size_t>(0.08 * kRate));
      double last = 0;
      for (size_t i = 0; i < length; ++i) {
        double n = Noise();
        double t = static_cast<double>(i) / kRate;
        out[start + i] += static_cast<float>(volume * std::exp(-t / 0.018) * (n - last) * 0.5);
        last = n;
      }
      break;
    }
  }
}

// ---- Scores ----------------------------------------------------------------

// "C4" -> 261.63 Hz; "x" (a drum hit) -> 0; -1 for anything else.
double NoteFrequency(const std::string& name) {
  if (name == "x") return 0;
  static const int semitones[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  if (name.empty() || name[0] < 'A' || name[0] > 'G') return -1;
  int semitone = semitones[name[0] - 'A'];
  size_t i = 1;
  if (i < name.size() && name[i] == '#') semitone++, i++;
  if (i < name.size() && name[i] == 'b') semitone--, i++;
  if (i >= name.size()) return -1;
  int octave = std::atoi(name.c_str() + i);
  int midi = 12 * (octave + 1) + semitone;
  return 440.0 * std::pow(2.0, (midi - 69) / 12.0);
}

// Plays a voice into `out`; returns its length in beats, or -1 on a bad token.
double PlayVoice(const Voice& voice, double bpm, std::vector<float>* out) {
  std::istringstream tokens(voice.score);
  std::string token;
  double beat = 0;
  double length = 1;
  while (tokens >> token) {
    if (token == "|") continue;
    size_t colon = token.find(':');
    if (colon != std::string::npos) length = std::atof(token.c_str() + colon + 1);
    std::string notes = token.substr(0, colon);
    if (notes != "r") {
      std::istringstream chord(notes);
      std::string note;
      while (std::getline(chord, note, '+')) {
        double freq = NoteFrequency(note);
        if (freq < 0) {
          std::fprintf(stderr, "bad note '%s'\n", note.c_str());
          return -1;
        }
        size_t start = static_cast<size_t>(beat * 60 / bpm * kRate);
        if (out && start < out->size())
          Render(*out, voice.sound, freq, start, length * 60 / bpm, voice.volume);
      }
    }
    beat += length;
  }
  return beat;
}

// A small Schroeder reverb: four damped combs into two all-passes.
void AddReverb(std::vector<float>& samples, double wet) {
  const size_t combLengths[] = {1116, 1188, 1277, 1356};
  const size_t allpassLengths[] = {556, 441};
  std::vector<float> sum(samples.size(), 0.0f);
  for (size_t length : combLengths) {
    std::vector<float> delay(length, 0.0f);
    float damped = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
      float delayed = delay[i % length];
      damped = delayed * 0.75f + damped * 0.25f;
      delay[i % length] = samples[i] + damped * 0.82f;
      sum[i] += delayed * 0.25f;
    }
  }
  for (size_t length : allpassLengths) {
    std::vector<float> delay(length, 0.0f);
    for (size_t i = 0; i < sum.size(); ++i) {
      float delayed = delay[i % length];
      float in = sum[i];
      delay[i % length] = in + delayed * 0.5f;
      sum[i] = delayed - in * 0.5f;
    }
  }
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<float>(samples[i] * (1 - wet) + sum[i] * wet * 2);
}

// ---- The pieces ------------------------------------------------------------

std::vector<Piece> Pieces() {
  std::vector<Piece> pieces;
  pieces.push_back(
      {"sunrise",
       "Morning",
       1,
       "Sunrise",
       120,
       0.3,
       {{Sound::Pad, 0.16,
         "C4+E4+G4:4 A3+C4+E4:4 F3+A3+C4:4 G3+B3+D4:4 C4+E4+G4:4 A3+C4+E4:4 D4+F4+A4:4 "
         "G3+B3+D4+F4:4 C4+E4+G4:4"},
        {Sound::Bass, 0.32, "C3:2 G2 A2 E2 F2 C3 G2 D3 C3 G2 A2 E2 D3 A2 G2 B2 C3:4"},
        {Sound::Pluck, 0.16,
         "C4:0.5 G4 E4 G4 C5 G4 E4 G4 | A3 E4 C4 E4 A4 E4 C4 E4 | F3 C4 A3 C4 F4 C4 A3 C4 | "
         "G3 D4 B3 D4 G4 D4 B3 D4 | C4 G4 E4 G4 C5 G4 E4 G4 | A3 E4 C4 E4 A4 E4 C4 E4 | "
         "D4 A4 F4 A4 D5 A4 F4 A4 | G3 D4 B3 F4 G4 F4 D4 B3 | C4:4"},
        {Sound::Bell, 0.42,
         "E5:1 G5 C6:1.5 B5:0.5 | A5:2 E5 | F5:1 A5 C6 A5 | G5:3 r:1 | E5:1 G5 C6 D6 | "
         "E6:1.5 D6:0.5 C6:2 | D6:1 C6 A5 F5 | B5:2 D6:1 B5 | C6:4"}}});
  pieces.push_back(
      {"coffee",
       "Morning",
       2,
       "Coffee Walk",
       124,
       0.15,
       {{Sound::Pluck, 0.45,
         "C5:0.5 A4 C5:1 F5 E5:0.5 D5 | C5:1 A4 D5:2 | D5:0.5 C5 Bb4:1 D5 F5 | "
         "E5:1.5 D5:0.5 C5:2 | A5:0.5 G5 F5:1 C5 A4 | D5:0.5 E5 F5:1 A5:2 | G5:1 F5 D5 Bb4 | "
         "C5:1 E5 G5 Bb5 | A5:4"},
        {Sound::Bass, 0.36,
         Repeat("F2:1 A2 C3 A2 | D2 F2 A2 F2 | Bb2 D3 F3 D3 | C3 E3 G3 E3 |", 2) + "F2:4"},
        {Sound::Pad, 0.1,
         Repeat("F3+A3+C4:4 D3+F3+A3:4 Bb2+D3+F3:4 C3+E3+G3+Bb3:4", 2) + "F3+A3+C4:4"},
        {Sound::Kick, 0.5, Repeat("x:1 r x r", 8) + "x:1"},
        {Sound::Hat, 0.22, Repeat("r:0.5 x", 32)}}});
  pieces.push_back(
      {"window",
       "Morning",
       3,
       "Open Window",
       138,
       0.25,
       {{Sound::Bell, 0.42,
         "B4:2 D5:1 | G5:2 E5:1 | E5:1.5 D5:0.5 C5:1 | A4:3 | B4:1 D5 G5 | B5:2 G5:1 | "
         "A5:1 G5 E5 | F#5:3 | G5:1 F#5 G5 | E5:2 C5:1 | D5:1 A4 F#5 | G5:3"},
        {Sound::Bass, 0.34, "G2:3 E2 C3 D3 G2 E2 A2 D3 G2 C3 D3 G2"},
        {Sound::Pluck, 0.18,
         "r:1 B3+D4 B3+D4 | r G3+B3 G3+B3 | r E3+G3 E3+G3 | r F#3+A3 F#3+A3 | "
         "r B3+D4 B3+D4 | r G3+B3 G3+B3 | r A3+C4 A3+C4 | r F#3+A3 F#3+A3 | "
         "r B3+D4 B3+D4 | r E3+G3 E3+G3 | r F#3+A3 F#3+A3 | r B3+D4:2"}}});
  pieces.push_back(
      {"dusk",
       "Evening",
       1,
       "Dusk",
       84,
       0.45,
       {{Sound::Pad, 0.24,
         "A3+C4+E4:4 F3+A3+C4:4 G3+C4+E4:4 G3+B3+D4:4 F3+A3+D4:2 E3+G#3+B3:2 A3+C4+E4:4"},
        {Sound::Bass, 0.28, "A2:4 F2 C3 G2 D2:2 E2 A2:4"},
        {Sound::Bell, 0.45,
         "E5:2 C5:1 B4 | A4:3 C5:1 | G4:2 E5 | D5:3 B4:1 | D5:2 B4:1 G#4 | A4:4"}}});
  pieces.push_back(
      {"lanterns",
       "Evening",
       2,
       "Lanterns",
       108,
       0.3,
       {{Sound::Pluck, 0.2,
         "D4:0.5 A4 C5 F5 C5 A4 F4 A4 | G3 D4 G4 B4 D5 B4 G4 D4 | "
         "D4 A4 C5 F5 C5 A4 F4 A4 | G3 D4 G4 B4 D5 B4 G4 D4 | "
         "Bb3 F4 Bb4 D5 F5 D5 Bb4 F4 | C4 G4 C5 E5 G5 E5 C5 G4 | "
         "D4 A4 C5 F5 C5 A4 F4 A4 | D4+A4+D5:4"},
        {Sound::Bass, 0.34, "D2:2 A2 G2 D2 D2 A2 G2 B2 Bb2 F2 C3 G2 D2:4 D2:4"},
        {Sound::Pad, 0.12,
         "D3+F3+A3+C4:4 G3+B3+D4:4 D3+F3+A3+C4:4 G3+B3+D4:4 Bb3+D4+F4:4 C4+E4+G4:4 "
         "D3+F3+A3+C4:4 D3+A3+D4:4"},
        {Sound::Bell, 0.4,
         "r:2 A5:1 C6 | B5:2 G5 | A5:1 F5 E5 D5 | B4:3 r:1 | D5:1 F5 Bb5:2 | G5:1 E5 C6:2 | "
         "A5:4 | D5:4"}}});
  return pieces;
}

bool WritePiece(const Piece& piece) {
  double beats = 0;
  for (const Voice& voice : piece.voices) {
    double length = PlayVoice(voice, piece.bpm, nullptr);
    if (length < 0) return false;
    beats = std::max(beats, length);
  }
  std::vector<float> samples(static_cast<size_t>((beats * 60 / piece.bpm + kTailSeconds) * kRate));
  for (const Voice& voice : piece.voices) PlayVoice(voice, piece.bpm, &samples);
  AddReverb(samples, piece.reverb);

  float peak = 1e-6f;
  for (float s : samples) peak = std::max(peak, std::fabs(s));
  double gain = 0.85 / peak;
  size_t fade = static_cast<size_t>(1.0 * kRate);
  std::vector<unsigned char> bytes(samples.size() * 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    double s = samples[i] * gain;
    if (i < 64) s *= static_cast<double>(i) / 64;  // no click at the very start
    size_t fromEnd = samples.size() - i;
    if (fromEnd < fade) s *= static_cast<double>(fromEnd) / static_cast<double>(fade);
    auto value = static_cast<int16_t>(std::lround(std::clamp(s, -1.0, 1.0) * 32767));
    bytes[2 * i] = static_cast<unsigned char>(value & 0xFF);
    bytes[2 * i + 1] = static_cast<unsigned char>((value >> 8) & 0xFF);
  }
  return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
         std::fflush(stdout) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_demo_music --list | make_demo_music <id> > piece.raw\n");
    return 2;
  }
  std::vector<Piece> pieces = Pieces();
  if (std::strcmp(argv[1], "--list") == 0) {
    for (const Piece& p : pieces)
      std::printf("%s\t%s\t%02d\t%s\n", p.id, p.folder, p.number, p.title);
    return 0;
  }
  for (const Piece& p : pieces)
    if (std::strcmp(argv[1], p.id) == 0) return WritePiece(p) ? 0 : 1;
  std::fprintf(stderr, "no piece named '%s'\n", argv[1]);
  return 2;
}
