#include "app/MyD3DApplication.h"

#include <utility>

#include "app/SceneManager.h"
#include "background/MoireScreensaver.h"
#include "input/InputDevices.h"
#include "platform/d3dx9/d3dx9.h"
#include "platform/d3dx9/d3dx9math.h"
#include "platform/win32/win32.h"
#include "scene/DrawLimit.h"
#include "scene/FontSet.h"
#include "scene/QoScene.h"
#include "scene/SceneGlobals.h"

CMyD3DApplication::CMyD3DApplication(const PacerClock& clock) : m_pacer(clock) {
  m_strWindowTitle = u"Orbelle-Player";
  m_dwCreationWidth = 640;
  m_dwCreationHeight = 480;
  m_d3dEnumeration.AppUsesDepthBuffer = true;
  m_bShowCursorWhenFullscreen = false;
  m_bStartFullscreen = false;
  timeBeginPeriod(1);
}

CMyD3DApplication::~CMyD3DApplication() {
  timeEndPeriod(1);
}

HRESULT CMyD3DApplication::InitOnce() {
  m_bIgnoreSizeChange = true;
  SendMessageW(m_hWnd, WM_PAINT, 0, 0);
  m_loading = FALSE;
  DragAcceptFiles(m_hWnd, TRUE);
  return S_OK;
}

HRESULT CMyD3DApplication::CreateDeviceResources() {
  HDC dc = GetDC(nullptr);
  const INT height = MulDiv(12, GetDeviceCaps(dc, LOGPIXELSY), 72);
  ReleaseDC(nullptr, dc);
  return D3DXCreateFontW(m_pd3dDevice, -height, 0, FW_BOLD, 0, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                         DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, u"Arial", &m_appFont);
}

HRESULT CMyD3DApplication::RestoreDeviceResources() {
  m_drawnValid = false;  // a reset device starts with an empty back buffer and window
  ApplyFixedDeviceState();
  if (m_appFont) m_appFont->OnResetDevice();
  g_appFont = m_appFont;
  if (!g_sceneManager) {
    g_sceneManager = new CSceneManager();
    // Only the first start opens the named file: a re-created device begins again with the
    // welcome picture.
    g_sceneManager->StartSceneManager(m_pd3dDevice, m_hWnd, std::exchange(m_startFile, {}));
  } else if (g_uiFont) {
    if (g_uiFont->m_font) g_uiFont->m_font->OnResetDevice();
    if (g_uiFont->m_sprite) g_uiFont->m_sprite->OnResetDevice();
  }
  m_pacer.m_interval = 16.666666f;
  return S_OK;
}

HRESULT CMyD3DApplication::Advance() {
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  m_pd3dDevice->SetTransform(D3DTS_WORLD, &identity);
  if (!g_sceneManager) return S_OK;
  if (g_sceneManager->m_request == 1) {
    g_sceneManager->AdvanceScene();
    g_sceneManager->m_request = 0;
  }
  // Here rather than in the window procedure: the scene opens files at this point of the frame.
  if (!m_droppedFile.empty()) g_sceneManager->OpenFile(std::exchange(m_droppedFile, {}));
  if (g_input) {
    g_input->PollPointer();
    g_input->PollKeyboard();
    g_input->PollJoysticks();
  }
  if (g_sceneManager->m_currentScene) g_sceneManager->m_request = g_sceneManager->m_currentScene->Update();
  return S_OK;
}

HRESULT CMyD3DApplication::DrawFrame() {
  m_pacer.WaitForFrameSlot();
  const FramePlan plan = PlanFrame();
  if (m_skipUnchangedFrames) {
    m_next.Clear();
    const bool known = DescribeFrame(plan, &m_next);
    if (known && m_drawnValid && m_next == m_drawn) {
      // The background's animation still advances with every slot, as when it is drawn.
      if (g_background) g_background->Update();
      ++m_framesSkipped;
      return S_FALSE;
    }
    std::swap(m_drawn, m_next);
    m_drawnValid = known;
  }
  DrawPlannedFrame(plan);
  ++m_framesDrawn;
  return S_OK;
}

void CMyD3DApplication::DrawFrameUnpaced() {
  DrawPlannedFrame(PlanFrame());
}

CMyD3DApplication::FramePlan CMyD3DApplication::PlanFrame() const {
  CQoScene* scene = g_sceneManager ? g_sceneManager->m_currentScene : nullptr;
  FramePlan plan;
  plan.limited = m_limitDrawing && scene && scene->OpenArea(&plan.open);
  // Nothing under the scene shows when the open area is empty or the scene paints all of it.
  plan.hidden = plan.limited && (plan.open.right <= plan.open.left || plan.open.bottom <= plan.open.top ||
                                 scene->CoversOpenArea(plan.open));
  return plan;
}

bool CMyD3DApplication::DescribeFrame(const FramePlan& plan, CFrameSignature* signature) const {
  // The background moves with time wherever it shows.
  if (g_background && !plan.hidden) return false;
  CQoScene* scene = g_sceneManager ? g_sceneManager->m_currentScene : nullptr;
  signature->AddObject(m_pd3dDevice);
  signature->Add(m_d3dsdBackBuffer.Width);
  signature->Add(m_d3dsdBackBuffer.Height);
  signature->Add(m_d3dsdBackBuffer.Format);
  // The window the frame is presented into: a size the device has not been reset to yet shows
  // the back buffer stretched.
  RECT client{};
  if (m_hWnd) GetClientRect(m_hWnd, &client);
  signature->AddRect(client);
  signature->Add(plan.limited);
  signature->Add(plan.hidden);
  signature->AddRect(plan.open);
  signature->AddObject(g_background);
  signature->AddObject(scene);
  return !scene || scene->DescribeDraw(signature);
}

void CMyD3DApplication::DrawPlannedFrame(const FramePlan& plan) {
  CQoScene* scene = g_sceneManager ? g_sceneManager->m_currentScene : nullptr;
  // What the scene covers opaquely need not be cleared or drawn underneath. Where it shows black,
  // one clear of the whole target (the driver's fast path, no shading) paints it, and the scene
  // skips its black mask.
  if (plan.limited) {
    LimitDrawing(m_pd3dDevice, nullptr);
    m_pd3dDevice->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  }
  if (scene) scene->m_outsideCleared = plan.limited;
  // Hidden, the background only advances its animation.
  LimitDrawing(m_pd3dDevice, plan.limited ? &plan.open : nullptr);
  if (!plan.hidden) m_pd3dDevice->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00FFFFFF, 1.0f, 0);
  m_pd3dDevice->SetRenderState(D3DRS_ZENABLE, TRUE);
  // The background renders its own frame first; it leaves transforms and states changed.
  if (g_background) {
    g_background->Update();
    if (!plan.hidden) g_background->Draw();
  }
  ApplyFixedDeviceState();
  if (SUCCEEDED(m_pd3dDevice->BeginScene())) {
    m_pd3dDevice->SetRenderState(D3DRS_ZENABLE, FALSE);
    if (scene) scene->Draw();
    m_pd3dDevice->EndScene();
  }
  LimitDrawing(m_pd3dDevice, nullptr);
}

HRESULT CMyD3DApplication::LoseDeviceResources() {
  m_drawnValid = false;
  if (m_appFont) m_appFont->OnLostDevice();
  if (g_sceneManager && g_uiFont) {
    if (g_uiFont->m_font) g_uiFont->m_font->OnLostDevice();
    if (g_uiFont->m_sprite) g_uiFont->m_sprite->OnLostDevice();
  }
  return S_OK;
}

HRESULT CMyD3DApplication::DestroyDeviceResources() {
  if (m_appFont) {
    m_appFont->Release();
    m_appFont = nullptr;
  }
  g_appFont = nullptr;
  if (g_sceneManager) {
    g_sceneManager->StopSceneManager();
    delete g_sceneManager;
    g_sceneManager = nullptr;
  }
  return S_OK;
}

LRESULT CMyD3DApplication::HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  // The player's keys: queued for the scene, which acts on them in its update as on its buttons.
  if (msg == WM_COMMAND && g_sceneManager && g_sceneManager->QueueCommand(LOWORD(wParam))) return 0;
  if (msg == WM_DROPFILES) {
    // Several files: the first, as the dialog picks one.
    const auto drop = reinterpret_cast<HDROP>(wParam);
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    if (length > 0) {
      std::u16string path(length + 1, u'\0');
      path.resize(DragQueryFileW(drop, 0, path.data(), length + 1));
      m_droppedFile = std::move(path);
    }
    DragFinish(drop);
    return 0;
  }
  // A new window size shows the last frame stretched or cut until the next one is drawn.
  if (msg == WM_SIZE || msg == WM_EXITSIZEMOVE) InvalidateFrame();
  if (msg == WM_PAINT && m_loading) {
    HDC dc = GetDC(hwnd);
    WCHAR text[64];
    wsprintfW(text, u"Loading... Please wait");
    RECT rc;
    GetClientRect(hwnd, &rc);
    DrawTextW(dc, text, -1, &rc, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    ReleaseDC(hwnd, dc);
  }
  return CD3DApplication::HandleMessage(hwnd, msg, wParam, lParam);
}

void CMyD3DApplication::ApplyFixedDeviceState() {
  D3DMATERIAL9 material{};
  material.Diffuse = {1.0f, 0.0f, 0.0f, 1.0f};
  material.Ambient = {1.0f, 0.0f, 0.0f, 1.0f};
  m_pd3dDevice->SetMaterial(&material);

  m_pd3dDevice->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  m_pd3dDevice->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  m_pd3dDevice->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  m_pd3dDevice->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  m_pd3dDevice->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  m_pd3dDevice->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  m_pd3dDevice->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  m_pd3dDevice->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  m_pd3dDevice->SetRenderState(D3DRS_DITHERENABLE, FALSE);
  m_pd3dDevice->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
  m_pd3dDevice->SetRenderState(D3DRS_ZENABLE, TRUE);
  m_pd3dDevice->SetRenderState(D3DRS_AMBIENT, 0x000F0F0F);

  D3DXMATRIX world;
  D3DXMatrixIdentity(&world);
  m_pd3dDevice->SetTransform(D3DTS_WORLD, &world);

  D3DXVECTOR3 eye(0.0f, 0.0f, -5.0f);
  D3DXVECTOR3 at(0.0f, 0.0f, 0.0f);
  D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
  D3DXMATRIX view;
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  m_pd3dDevice->SetTransform(D3DTS_VIEW, &view);

  D3DXMATRIX projection;
  const float aspect = static_cast<float>(m_d3dsdBackBuffer.Width) / static_cast<float>(m_d3dsdBackBuffer.Height);
  D3DXMatrixPerspectiveFovLH(&projection, D3DX_PI / 4, aspect, 1.0f, 100.0f);
  m_pd3dDevice->SetTransform(D3DTS_PROJECTION, &projection);

  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
  light.Position = {-1.0f, -1.0f, 2.0f};
  D3DXVECTOR3 direction(-1.0f, -1.0f, 2.0f);
  D3DXVec3Normalize(reinterpret_cast<D3DXVECTOR3*>(&light.Direction), &direction);
  light.Range = 1000.0f;
  m_pd3dDevice->SetLight(0, &light);
  m_pd3dDevice->LightEnable(0, TRUE);
  m_pd3dDevice->SetRenderState(D3DRS_LIGHTING, TRUE);
}
