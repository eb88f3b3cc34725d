#include "support/AudioFixtures.h"

#include <ogg/ogg.h>
#include <unistd.h>
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>

namespace {

void Put(Bytes& out, std::uint32_t v, int n) {
  for (int i = 0; i < n; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutText(Bytes& out, const char* text) {
  out.insert(out.end(), text, text + std::strlen(text));
}

struct Page {
  Bytes header, body;
};

void TakePage(std::vector<Page>& pages, const ogg_page& page) {
  pages.push_back({Bytes(page.header, page.header + page.header_len), Bytes(page.body, page.body + page.body_len)});
}

}  // namespace

Bytes MakeWave(int rate, double seconds, double freq) {
  const auto frames = static_cast<std::uint32_t>(rate * seconds);
  Bytes out;
  PutText(out, "RIFF");
  Put(out, 36 + frames * 2, 4);
  PutText(out, "WAVEfmt ");
  Put(out, 16, 4);
  Put(out, 1, 2);
  Put(out, 1, 2);
  Put(out, static_cast<std::uint32_t>(rate), 4);
  Put(out, static_cast<std::uint32_t>(rate * 2), 4);
  Put(out, 2, 2);
  Put(out, 16, 2);
  PutText(out, "data");
  Put(out, frames * 2, 4);
  for (std::uint32_t i = 0; i < frames; ++i) {
    auto v = static_cast<std::int16_t>(12000 * std::sin(2 * M_PI * freq * i / rate));
    Put(out, static_cast<std::uint16_t>(v), 2);
  }
  return out;
}

Bytes MakeOgg(const OggOptions& o) {
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, o.channels, o.rate, 0.3f) != 0) throw std::runtime_error("vorbis_encode_init_vbr");
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block vb;
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 1234);

  std::vector<Page> pages;
  ogg_packet header, comments, codebooks;
  vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &comments);
  ogg_stream_packetin(&os, &codebooks);
  ogg_page page;
  while (ogg_stream_flush(&os, &page)) TakePage(pages, page);

  auto drain = [&] {
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&vd, &packet)) {
        ogg_stream_packetin(&os, &packet);
        while (ogg_stream_pageout(&os, &page)) TakePage(pages, page);
      }
    }
  };
  constexpr int kChunk = 1024;
  for (int start = 0; start < o.frames; start += kChunk) {
    const int n = std::min(kChunk, o.frames - start);
    float** buffer = vorbis_analysis_buffer(&vd, n);
    for (int c = 0; c < o.channels; ++c)
      for (int i = 0; i < n; ++i)
        buffer[c][i] = 0.5f * static_cast<float>(std::sin(2 * M_PI * (300.0 + 170.0 * c) * (start + i) / o.rate));
    vorbis_analysis_wrote(&vd, n);
    drain();
  }
  vorbis_analysis_wrote(&vd, 0);
  drain();
  while (ogg_stream_flush(&os, &page)) TakePage(pages, page);

  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);

  Page& last = pages.back();
  if (o.lastGranule || o.dropEndOfStream) {
    if (o.lastGranule)
      for (int i = 0; i < 8; ++i) last.header[6 + i] = static_cast<std::uint8_t>(*o.lastGranule >> (8 * i));
    if (o.dropEndOfStream) last.header[5] &= static_cast<std::uint8_t>(~0x04);
    ogg_page tampered{last.header.data(), static_cast<long>(last.header.size()), last.body.data(),
                      static_cast<long>(last.body.size())};
    ogg_page_checksum_set(&tampered);
  }
  Bytes out;
  for (const Page& p : pages) {
    out.insert(out.end(), p.header.begin(), p.header.end());
    out.insert(out.end(), p.body.begin(), p.body.end());
  }
  return out;
}

Bytes MakeMidi() {
  Bytes out;
  PutText(out, "MThd");
  Put(out, 0x06000000, 4);  // big-endian 6
  const std::uint8_t header[] = {0, 0, 0, 1, 0, 96};
  out.insert(out.end(), header, header + sizeof header);
  const std::uint8_t track[] = {0x00, 0xC0, 0x00, 0x00, 0x90, 60, 100, 0x83, 0x60, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00};
  PutText(out, "MTrk");
  Put(out, static_cast<std::uint32_t>(sizeof track) << 24, 4);  // big-endian length (< 256)
  out.insert(out.end(), track, track + sizeof track);
  return out;
}

void WriteBytes(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + path.string());
}

ScopedCurrentDir::ScopedCurrentDir(const std::filesystem::path& dir) : previous_(std::filesystem::current_path()) {
  std::filesystem::current_path(dir);
}

ScopedCurrentDir::~ScopedCurrentDir() {
  std::filesystem::current_path(previous_);
}
