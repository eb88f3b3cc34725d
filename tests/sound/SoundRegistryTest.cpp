#include "sound/SoundRegistry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "platform/dmusic/Segment.h"
#include "platform/win32/win32.h"
#include "support/AudioFixtures.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

const char* const kTable[] = {"be2_01.wav",   "be2_02.wav",   "be2_03.wav",   "pico01.wav",   "pico03.wav",
                              "pico06.wav",   "pico08.wav",   "pico2_06.wav", "pico2_08.wav", "se_sad05.wav",
                              "se_soc06.wav", "se_sua02.wav", "se_sua04.wav", "se_sua06.wav", "se_sua07.wav",
                              "se_sub06.wav", "se_sud05.wav", "wa_007.wav"};

fs::path GeneratedSounds() {
  const char* bin = std::getenv("ORBELLE_BIN_DIR");
  return fs::path(bin ? bin : ORBELLE_BIN_DIR_DEFAULT) / "sound";
}

std::u16string Wide(const std::string& s) {
  return std::u16string(s.begin(), s.end());
}

std::vector<int> Ids(const CSoundRegistry& registry) {
  std::vector<int> ids;
  for (const SoundEntry& e : registry.Entries()) ids.push_back(e.id);
  return ids;
}

const SoundEntry* Find(const CSoundRegistry& registry, int id) {
  for (const SoundEntry& e : registry.Entries())
    if (e.id == id) return &e;
  return nullptr;
}

bool Playing(IDirectSoundBuffer8* buffer) {
  DWORD status = 0;
  EXPECT_EQ(buffer->GetStatus(&status), S_OK);
  return status & DSBSTATUS_PLAYING;
}

void Play(const CSoundRegistry& registry, const SoundEntry& e) {
  ASSERT_EQ(registry.Performance()->PlaySegmentEx(e.segment, nullptr, nullptr, 0, 0, nullptr, nullptr, e.audioPath),
            S_OK);
}

// Message boxes are captured for the test's lifetime.
struct CapturedBoxes {
  struct Box {
    std::u16string text, caption;
    UINT type;
  };
  CapturedBoxes() {
    previous = SetMessageBoxHook([this](HWND, std::u16string_view text, std::u16string_view caption, UINT type) {
      boxes.push_back({std::u16string(text), std::u16string(caption), type});
      return IDOK;
    });
  }
  ~CapturedBoxes() { SetMessageBoxHook(previous); }
  std::vector<Box> boxes;
  MessageBoxHook previous;
};

class SoundRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { CoInitialize(nullptr); }
  void TearDown() override { CoUninitialize(); }
};

TEST_F(SoundRegistryTest, StartupTableRegistersEveryFileThatLoads) {
  // All eighteen generated files: ids 0 to 17 in table order, each on a path of its own.
  {
    ScopedCurrentDir cwd(GeneratedSounds().parent_path());
    CapturedBoxes boxes;
    CSoundRegistry registry;
    ASSERT_EQ(registry.Init(nullptr), 1);
    std::vector<int> expected(18);
    for (int i = 0; i < 18; ++i) expected[i] = i;
    EXPECT_EQ(Ids(registry), expected);
    std::set<void*> objects;
    for (const SoundEntry& e : registry.Entries()) {
      objects.insert(e.segment);
      objects.insert(e.audioPath);
      objects.insert(e.buffer);
    }
    EXPECT_EQ(objects.size(), 18u * 3);
    EXPECT_TRUE(boxes.boxes.empty());
  }
  // One file missing: only its id is absent.
  TempDir dir;
  fs::create_directory(dir.path() / "sound");
  for (const char* name : kTable)
    if (std::string(name) != "pico06.wav") fs::copy_file(GeneratedSounds() / name, dir.path() / "sound" / name);
  ScopedCurrentDir cwd(dir.path());
  CSoundRegistry registry;
  ASSERT_EQ(registry.Init(nullptr), 1);
  EXPECT_EQ(Ids(registry), (std::vector<int>{0, 1, 2, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}));
}

// A registry started in a folder of fixtures (no start-up table there).
class LoadedRegistry : public SoundRegistryTest {
 protected:
  void SetUp() override {
    SoundRegistryTest::SetUp();
    WriteBytes(dir.path() / "a.wav", MakeWave(8000, 5.0, 440));
    WriteBytes(dir.path() / "b.wav", MakeWave(8000, 5.0, 660));
    WriteBytes(dir.path() / "tone.ogg", MakeOgg({}));
    WriteBytes(dir.path() / "song.mid", MakeMidi());
    cwd = std::make_unique<ScopedCurrentDir>(dir.path());
    ASSERT_EQ(registry.Init(nullptr), 1);
    ASSERT_TRUE(registry.Entries().empty());
  }
  void TearDown() override {
    registry.ReleaseAll();
    cwd.reset();
    SoundRegistryTest::TearDown();
  }
  TempDir dir;
  std::unique_ptr<ScopedCurrentDir> cwd;
  CSoundRegistry registry;
};

TEST_F(LoadedRegistry, ReservedIdIsRefusedWithOneMessageAndStopsEverything) {
  ASSERT_TRUE(registry.LoadSound(u"a.wav", 1));
  ASSERT_TRUE(registry.LoadSound(u"b.wav", 2));
  CapturedBoxes boxes;
  EXPECT_FALSE(registry.LoadSound(u"a.wav", SOUND_ID_ALL));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, u"そのＩＤは予約済みなの。別のＩＤ使ってね！");
  EXPECT_EQ(boxes.boxes[0].caption, u"");  // no caption: the system's default
  EXPECT_EQ(boxes.boxes[0].type, MB_OK);
  EXPECT_EQ(Ids(registry), (std::vector<int>{1, 2}));

  const SoundEntry a = *Find(registry, 1);
  const SoundEntry b = *Find(registry, 2);
  Play(registry, a);
  Play(registry, b);
  registry.StopSound(1);  // one id stops only its sound
  EXPECT_FALSE(Playing(a.buffer));
  EXPECT_TRUE(Playing(b.buffer));
  Play(registry, a);
  registry.StopSound(SOUND_ID_ALL);
  EXPECT_FALSE(Playing(a.buffer));
  EXPECT_FALSE(Playing(b.buffer));
}

TEST_F(LoadedRegistry, LoadingAnExistingIdReplacesItAtTheEnd) {
  ASSERT_TRUE(registry.LoadSound(u"a.wav", 5));
  ASSERT_TRUE(registry.LoadSound(u"b.wav", 6));
  const SoundEntry old = *Find(registry, 5);
  old.segment->AddRef();
  old.buffer->AddRef();
  Play(registry, old);

  ASSERT_TRUE(registry.LoadSound(u"tone.ogg", 5));
  EXPECT_EQ(Ids(registry), (std::vector<int>{6, 5}));
  EXPECT_NE(Find(registry, 5)->segment, old.segment);
  EXPECT_FALSE(Playing(old.buffer));
  // Only this test's references are left: the registry and the loader's cache let go.
  EXPECT_EQ(old.segment->Release(), 0u);
  EXPECT_EQ(old.buffer->Release(), 0u);

  // A failing load under an existing id leaves the id unregistered.
  EXPECT_FALSE(registry.LoadSound(u"missing.wav", 6));
  EXPECT_EQ(Ids(registry), (std::vector<int>{5}));
}

TEST_F(LoadedRegistry, ExtensionDecidesHowAFileIsLoaded) {
  fs::copy_file(dir.path() / "tone.ogg", dir.path() / "tone.OGG");
  fs::copy_file(dir.path() / "a.wav", dir.path() / "wave.OGG");
  fs::copy_file(dir.path() / "song.mid", dir.path() / "song.MID");
  fs::copy_file(dir.path() / "a.wav", dir.path() / "wave.mid");
  fs::copy_file(dir.path() / "a.wav", dir.path() / "wave.MID");
  fs::copy_file(dir.path() / "a.wav", dir.path() / "wavemid");
  struct Case {
    const char16_t* path;
    bool loads;
    bool midiMarked;
  };
  // ".ogg" exactly is decoded here; any other name goes to the loader, which knows only wave and
  // MIDI content. A name ending in "mid" is marked as a standard MIDI file, which only MIDI
  // content accepts.
  const Case cases[] = {
      {u"tone.ogg", true, false}, {u"tone.OGG", false, false}, {u"wave.OGG", true, false}, {u"song.mid", true, true},
      {u"song.MID", true, false}, {u"wave.mid", false, false}, {u"wave.MID", true, false}, {u"wavemid", false, false},
  };
  int id = 100;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path, c.path + std::char_traits<char16_t>::length(c.path)));
    EXPECT_EQ(registry.LoadSound(c.path, ++id), c.loads);
    const SoundEntry* e = Find(registry, id);
    ASSERT_EQ(e != nullptr, c.loads);
    if (e) {
      EXPECT_EQ(dynamic_cast<Segment*>(e->segment)->IsStandardMidiFile(), c.midiMarked);
    }
  }
}

TEST_F(LoadedRegistry, BadFilesAreRefusedAndChangeNothing) {
  ASSERT_TRUE(registry.LoadSound(u"a.wav", 1));
  const Bytes ogg = MakeOgg({.frames = 22050});
  Bytes corrupt = ogg;
  for (std::size_t i = ogg.size() / 2; i < ogg.size() / 2 + 64; ++i) corrupt[i] ^= 0xa5;
  Bytes random(4096);
  for (std::size_t i = 0; i < random.size(); ++i) random[i] = static_cast<std::uint8_t>(i * 7919 >> 3);
  Bytes notWave = MakeWave(8000, 0.2);
  std::memcpy(notWave.data() + 12, "junk", 4);  // RIFF/WAVE without a format chunk
  const std::pair<const char*, Bytes> cases[] = {
      {"random.ogg", random},   {"cut.ogg", Bytes(ogg.begin(), ogg.begin() + 300)},
      {"corrupt.ogg", corrupt}, {"not-wave.wav", notWave},
      {"random.wav", random},   {"empty.wav", {}},
  };
  int id = 10;
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    WriteBytes(dir.path() / name, bytes);
    EXPECT_FALSE(registry.LoadSound(Wide(name).c_str(), ++id));
  }
  EXPECT_FALSE(registry.LoadSound(std::u16string(300, u'a').append(u".wav").c_str(), 50));
  EXPECT_FALSE(registry.LoadSound(u"a.extensionof16chr", 51));
  EXPECT_EQ(Ids(registry), std::vector<int>{1});
}

TEST_F(SoundRegistryTest, EmptyRegistryReleasesAndTearsDownCleanly) {
  TempDir dir;
  WriteBytes(dir.path() / "a.wav", MakeWave(8000, 0.5));
  ScopedCurrentDir cwd(dir.path());
  auto registry = std::make_unique<CSoundRegistry>();
  ASSERT_EQ(registry->Init(nullptr), 1);
  EXPECT_EQ(registry->ReleaseAll(), 1);

  // Teardown releases every object it holds: only the test's own references are left.
  ASSERT_TRUE(registry->LoadSound(u"a.wav", 3));
  SoundEntry e = registry->Entries()[0];
  IDirectMusicPerformance8* perf = registry->Performance();
  for (IUnknown* object : std::initializer_list<IUnknown*>{e.segment, e.audioPath, e.buffer, perf}) object->AddRef();
  registry.reset();
  EXPECT_EQ(e.segment->Release(), 0u);
  EXPECT_EQ(e.audioPath->Release(), 0u);
  EXPECT_EQ(e.buffer->Release(), 0u);
  EXPECT_EQ(perf->Release(), 0u);
}

TEST_F(SoundRegistryTest, NoAudioDeviceLeavesAQuietEmptyRegistry) {
  TempDir dir;
  fs::create_directory(dir.path() / "sound");
  fs::copy_file(GeneratedSounds() / kTable[0], dir.path() / "sound" / kTable[0]);
  ScopedCurrentDir cwd(dir.path());
  const char* previous = std::getenv("SDL_AUDIODRIVER");
  const std::string saved = previous ? previous : "";
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  CapturedBoxes boxes;
  {
    CSoundRegistry registry;
    EXPECT_EQ(registry.Init(nullptr), -2);
    EXPECT_TRUE(registry.Entries().empty());
    EXPECT_FALSE(registry.LoadSound(u"sound\\be2_01.wav", 0));
    registry.StopSound(0);
    registry.StopSound(SOUND_ID_ALL);
    EXPECT_EQ(registry.ReleaseAll(), 1);
  }
  if (previous)
    setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
  else
    unsetenv("SDL_AUDIODRIVER");
  EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
