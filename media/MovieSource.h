// CMovieSource: one opened media file. Builds a filter graph whose video ends in a
// CMovieTexture, runs it, and hands out the texture, the picture size and the graph's
// media-control and media-position interfaces. Window's thread only.
#pragma once

#include "platform/d3d9/d3d9.h"
#include "platform/dshow/dshow.h"

class CMovieSource {
 public:
  CMovieSource() = default;
  ~CMovieSource();
  CMovieSource(const CMovieSource&) = delete;
  CMovieSource& operator=(const CMovieSource&) = delete;

  // Builds and runs the graph for the file (a Windows-form path). With the sound off, a file
  // whose source has an "Output" pin gets no audio at all; one without (an ASF file) is rendered
  // whole at volume -10000. Shows a message box for most failures and returns the code; the
  // object keeps what it acquired, and the caller destroys it.
  HRESULT Open(IDirect3DDevice9* device, LPCWSTR path, bool soundOn);
  // Stops the graph and releases the graph-side interfaces.
  void Close();
  // Level 0 (silent) to 10000 (full); above 10000 counts as 10000.
  void SetVolume(LONG level);

  IDirect3DTexture9* GetTexture() const { return m_texture; }
  LONG GetWidth() const { return m_videoWidth; }
  LONG GetHeight() const { return m_videoHeight; }
  IMediaControl* GetMediaControl() const { return m_mediaControl; }
  IMediaPosition* GetMediaPosition() const { return m_mediaPosition; }
  // Frames handed to the renderer so far (0 before the first, and without a graph). Any thread.
  LONG GetFramesRendered() const;

 private:
  IDirect3DDevice9* m_device = nullptr;
  IDirect3DTexture9* m_texture = nullptr;
  IGraphBuilder* m_graphBuilder = nullptr;
  IMediaControl* m_mediaControl = nullptr;
  IMediaPosition* m_mediaPosition = nullptr;
  IBaseFilter* m_renderer = nullptr;
  LONG m_videoWidth = 0;
  LONG m_videoHeight = 0;
};
