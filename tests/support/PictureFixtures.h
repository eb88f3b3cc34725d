// The pictures the picture tests open, made at test time by tests/support/make_pictures.py
// (Pillow, ImageMagick and the Debian encoders) into a folder of the test's own, with the two
// colour profiles it embeds made here with LittleCMS. Header-only.
#pragma once

#include <lcms2.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#ifndef ORBELLE_SOURCE_DIR_DEFAULT
#error "the test target defines ORBELLE_SOURCE_DIR_DEFAULT"
#endif

namespace picture_fixtures {

// ProPhoto RGB: primaries far outside sRGB's, D50 white, gamma 1.8.
inline bool WriteProPhotoProfile(const std::filesystem::path& file) {
  const cmsCIExyY white = {0.3457, 0.3585, 1.0};
  const cmsCIExyYTRIPLE primaries = {{0.7347, 0.2653, 1.0}, {0.1596, 0.8404, 1.0}, {0.0366, 0.0001, 1.0}};
  cmsToneCurve* gamma = cmsBuildGamma(nullptr, 1.8);
  cmsToneCurve* curves[3] = {gamma, gamma, gamma};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsFreeToneCurve(gamma);
  const bool ok = profile && cmsSaveProfileToFile(profile, file.c_str());
  if (profile) cmsCloseProfile(profile);
  return ok;
}

// A CMYK profile whose colours are the plain formula's with red and blue swapped: full cyan and
// yellow ink (blue by the formula) is red through it, full magenta and yellow (red) is blue.
inline bool WriteSwappingCmykProfile(const std::filesystem::path& file) {
  cmsHPROFILE srgb = cmsCreate_sRGBProfile();
  cmsHPROFILE lab = cmsCreateLab2Profile(nullptr);
  cmsHTRANSFORM toLab = cmsCreateTransform(srgb, TYPE_RGB_DBL, lab, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, 0);
  cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
  cmsSetProfileVersion(profile, 2.1);  // a lut16 table: one grid, no curves needed
  cmsSetDeviceClass(profile, cmsSigOutputClass);
  cmsSetColorSpace(profile, cmsSigCmykData);
  cmsSetPCS(profile, cmsSigLabData);
  cmsPipeline* pipeline = cmsPipelineAlloc(nullptr, 4, 3);
  cmsStage* grid = cmsStageAllocCLut16bit(nullptr, 2, 4, 3, nullptr);
  const auto sample = [](const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) -> cmsInt32Number {
    const double c = in[0] / 65535.0, m = in[1] / 65535.0, y = in[2] / 65535.0, k = in[3] / 65535.0;
    const double rgb[3] = {(1 - y) * (1 - k), (1 - m) * (1 - k), (1 - c) * (1 - k)};  // red and blue swapped
    cmsCIELab value;
    cmsDoTransform(static_cast<cmsHTRANSFORM>(cargo), rgb, &value, 1);
    cmsFloat2LabEncoded(out, &value);
    return TRUE;
  };
  bool ok = toLab && grid && cmsStageSampleCLut16bit(grid, sample, toLab, 0) &&
            cmsPipelineInsertStage(pipeline, cmsAT_BEGIN, grid) && cmsWriteTag(profile, cmsSigAToB0Tag, pipeline) &&
            cmsWriteTag(profile, cmsSigAToB1Tag, pipeline) && cmsSaveProfileToFile(profile, file.c_str());
  cmsPipelineFree(pipeline);
  cmsCloseProfile(profile);
  if (toLab) cmsDeleteTransform(toLab);
  cmsCloseProfile(lab);
  cmsCloseProfile(srgb);
  return ok;
}

// Writes the profiles and runs the script into dir; true when everything was made.
inline bool MakePictures(const std::filesystem::path& dir) {
  if (!WriteProPhotoProfile(dir / "prophoto.icc") || !WriteSwappingCmykProfile(dir / "cmyk.icc")) return false;
  const std::string script = std::string(ORBELLE_SOURCE_DIR_DEFAULT) + "/tests/support/make_pictures.py";
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    // Debian's interpreter, which has Pillow (a python3 found first on PATH may not).
    execl("/usr/bin/python3", "python3", script.c_str(), dir.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace picture_fixtures
