// The Linux window host at work, on a private Xvfb:
//   - time from process start to the first frame on the screen: this program
//     started again as a child that builds the main window from the skin it
//     carries and shows it; against a bare SDL2 program (the same binary in
//     another mode: SDL_Init, one borderless window, one filled frame), the
//     floor any SDL window pays;
//   - CPU used while the installing page's animation runs for 10 s (one
//     160 × 160 frame every 24 ms), measured by the child itself with
//     getrusage; against the bare SDL program blitting the same 25 decoded
//     frames at the same rate.
// Each child is measured several times; the medians are printed.
//
//   ui_window_bench [ignored] [rounds]      (the arguments scripts/bench.sh passes)
#include <SDL.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ui/framework/canvas.h"
#include "ui/framework/framework_test_support.h"
#include "ui/framework/image.h"
#include "ui/framework/platform_host.h"
#include "ui/framework/window.h"
#include "ui/framework/xvfb_display.h"
#include "ui/skin_package.h"

extern char** environ;

namespace {

double MonotonicMs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

double CpuMs() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return (static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

// ---- children ---------------------------------------------------------------------------------

// Prints "<ms of CLOCK_MONOTONIC at the first frame> <cpu ms> <wall ms> <frames>".
int OursChild(double animateSeconds) {
  auto factory = Ui::CreatePlatformHostFactory();
  if (!factory) return 2;
  FrameworkTest::SkinWindow window(L"mainWnd.xml");
  if (!window.Create(*factory, nullptr)) return 3;
  window.Host()->Center();
  if (animateSeconds > 0) FrameworkTest::ShowMainPage(window, 2);
  double firstFrame = 0;
  double cpuStart = 0;
  double wallStart = 0;
  int paintsAtStart = 0;
  // Posted work runs before the repaint of its round; work posted from there
  // runs in the next round, after the first frame was presented.
  window.PostTask([&] {
    window.PostTask([&] {
      firstFrame = MonotonicMs();
      if (animateSeconds <= 0) {
        window.Close(0);
        return;
      }
      cpuStart = CpuMs();
      wallStart = MonotonicMs();
      paintsAtStart = window.PaintCount();
      window.SetTimer(window.Root(), 7001, static_cast<std::uint32_t>(animateSeconds * 1000));
    });
  });
  struct Stop : Ui::INotifyListener {
    Ui::Window* w;
    void Notify(const Ui::Notification& n) override {
      if (n.type == L"timer" && n.wParam == 7001) w->Close(0);
    }
  } stop;
  stop.w = &window;
  window.AddNotifier(&stop);
  window.ShowModal();
  std::printf("%.3f %.3f %.3f %d\n", firstFrame, CpuMs() - cpuStart, MonotonicMs() - wallStart,
              window.PaintCount() - paintsAtStart);
  return 0;
}

int BareChild(double animateSeconds) {
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return 2;
  SDL_Window* w = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 600, 400, SDL_WINDOW_BORDERLESS);
  SDL_Surface* surface = SDL_GetWindowSurface(w);
  SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0xF0, 0xF4, 0xFA));
  SDL_UpdateWindowSurface(w);
  const double firstFrame = MonotonicMs();
  double cpu = 0;
  double wall = 0;
  int frames = 0;
  if (animateSeconds > 0) {
    std::vector<SDL_Surface*> pictures;
    for (int i = 0; i < 25; ++i) {
      wchar_t name[64];
      std::swprintf(name, 64, L"res\\mainWnd\\installBtnAnimate\\%.3d.png", i);
      auto bytes = Ui::ReadSkinFile(name);
      auto image = Ui::Image::Decode(std::vector<std::uint8_t>(bytes->begin(), bytes->end()));
      pictures.push_back(SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint8_t*>(image->Pixels()), 160, 160, 32,
                                                            160 * 4, SDL_PIXELFORMAT_RGBA32));
      static std::vector<std::shared_ptr<Ui::Image>> keep;
      keep.push_back(image);
    }
    const double cpuStart = CpuMs();
    const double wallStart = MonotonicMs();
    Uint64 next = SDL_GetTicks64();
    while (MonotonicMs() - wallStart < animateSeconds * 1000) {
      SDL_Event e;
      const Uint64 now = SDL_GetTicks64();
      if (now < next) {
        if (SDL_WaitEventTimeout(&e, static_cast<int>(next - now)) == 1) continue;
        continue;
      }
      next += 24;
      SDL_Rect square{220, 98, 160, 160};
      SDL_FillRect(surface, &square, SDL_MapRGB(surface->format, 0xF0, 0xF4, 0xFA));
      SDL_BlitSurface(pictures[static_cast<std::size_t>(frames % 25)], nullptr, surface, &square);
      SDL_UpdateWindowSurfaceRects(w, &square, 1);
      ++frames;
    }
    cpu = CpuMs() - cpuStart;
    wall = MonotonicMs() - wallStart;
  }
  std::printf("%.3f %.3f %.3f %d\n", firstFrame, cpu, wall, frames);
  SDL_DestroyWindow(w);
  SDL_Quit();
  return 0;
}

// ---- parent -----------------------------------------------------------------------------------

struct Result {
  double startToFrameMs = -1;
  double cpuMs = 0;
  double wallMs = 0;
  int frames = 0;
};

Result RunChild(const char* self, const char* mode, double seconds) {
  int out[2];
  if (pipe(out) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  const std::string secondsText = std::to_string(seconds);
  char* argv[] = {const_cast<char*>(self), const_cast<char*>(mode), const_cast<char*>(secondsText.c_str()), nullptr};
  pid_t pid = 0;
  const double start = MonotonicMs();
  const int spawned = posix_spawn(&pid, self, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  Result r;
  if (spawned != 0) {
    close(out[0]);
    return r;
  }
  std::string text;
  char buffer[256];
  ssize_t n = 0;
  while ((n = read(out[0], buffer, sizeof(buffer))) > 0) text.append(buffer, static_cast<std::size_t>(n));
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  double frameAt = 0;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
      std::sscanf(text.c_str(), "%lf %lf %lf %d", &frameAt, &r.cpuMs, &r.wallMs, &r.frames) == 4) {
    r.startToFrameMs = frameAt - start;
  }
  return r;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? -1 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--ours") == 0) return OursChild(std::atof(argv[2]));
  if (argc >= 3 && std::strcmp(argv[1], "--bare") == 0) return BareChild(std::atof(argv[2]));
  const int rounds = argc > 2 ? std::max(std::atoi(argv[2]), 1) : 5;

  TestSupport::XvfbDisplay xvfb;
  if (xvfb.Name().empty()) {
    std::fprintf(stderr, "ui_window_bench: Xvfb cannot start\n");
    return 1;
  }
  setenv("DISPLAY", xvfb.Name().c_str(), 1);
  setenv("SDL_VIDEODRIVER", "x11", 1);

  std::vector<double> ours;
  std::vector<double> bare;
  for (int i = 0; i < rounds; ++i) {
    ours.push_back(RunChild(argv[0], "--ours", 0).startToFrameMs);
    bare.push_back(RunChild(argv[0], "--bare", 0).startToFrameMs);
  }
  const double oursFirst = Median(ours);
  const double bareFirst = Median(bare);
  std::printf("ui_window_bench: Xvfb %s, medians of %d runs\n", xvfb.Name().c_str(), rounds);
  std::printf("  process start to first frame   ours %7.1f ms   bare SDL2 window %7.1f ms   ratio %.2f   (goal <= 150 ms)\n",
              oursFirst, bareFirst, oursFirst / bareFirst);

  const Result oursAnimation = RunChild(argv[0], "--ours", 10);
  const Result bareAnimation = RunChild(argv[0], "--bare", 10);
  const double oursShare = 100.0 * oursAnimation.cpuMs / oursAnimation.wallMs;
  const double bareShare = 100.0 * bareAnimation.cpuMs / bareAnimation.wallMs;
  std::printf("  10 s of the 24 ms animation    ours %5.2f %% of a core (%d frames)   bare SDL2 blits %5.2f %% (%d frames)   ratio %.2f   (goal <= 3 %%)\n",
              oursShare, oursAnimation.frames, bareShare, bareAnimation.frames, oursShare / bareShare);
  return 0;
}
