#include "preview_window.h"

#include <SDL.h>
#include <imgui.h>
#include <imgui_impl_sdl.h>
#include <imgui_impl_sdlrenderer.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "errors.h"
#include "png_io.h"

namespace velunary::preview {
namespace {

constexpr float kPanelWidth = 380;

// SDL's and ImGui's state for one window, released in reverse order however the run ends.
class Window {
 public:
  explicit Window(bool scripted) {
    // Scripted runs need no display: without one, SDL's offscreen driver draws the same
    // window into memory.
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
      const std::string first = SDL_GetError();
      if (!scripted || SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen") != SDL_TRUE ||
          SDL_Init(SDL_INIT_VIDEO) != 0) {
        throw cli::RenderFailure("cannot open a window (" + first +
                                 "); without a display, run with --script, or set "
                                 "SDL_VIDEODRIVER=offscreen");
      }
    }
    sdl_ = true;
    window_ = SDL_CreateWindow("Velunary preview", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                               1280 + static_cast<int>(kPanelWidth), 760,
                               SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    if (window_ == nullptr) Fail("cannot open a window");
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED);
    if (renderer_ == nullptr) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (renderer_ == nullptr) Fail("cannot draw into the window");
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGui::GetIO().IniFilename = nullptr;  // no imgui.ini left in the user's folder
    ImGui::StyleColorsDark();
    ImGui_ImplSDL2_InitForSDLRenderer(window_);
    ImGui_ImplSDLRenderer_Init(renderer_);
    imgui_ = true;
  }
  ~Window() {
    if (texture_ != nullptr) SDL_DestroyTexture(texture_);
    if (imgui_) {
      ImGui_ImplSDLRenderer_Shutdown();
      ImGui_ImplSDL2_Shutdown();
      ImGui::DestroyContext();
    }
    if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
    if (window_ != nullptr) SDL_DestroyWindow(window_);
    if (sdl_) SDL_Quit();
  }
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  SDL_Window* Get() { return window_; }
  SDL_Renderer* Renderer() { return renderer_; }

  // The frame's pixels into the texture (made at the frame's size).
  void Upload(const refhost::Image& image) {
    if (texture_ == nullptr) {
      // Memory order alpha, red, green, blue: SDL's BGRA8888 on a little-endian machine.
      texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_BGRA8888, SDL_TEXTUREACCESS_STREAMING,
                                   image.width, image.height);
      if (texture_ == nullptr) Fail("cannot make the frame's texture");
    }
    SDL_UpdateTexture(texture_, nullptr, image.pixels.data(), image.width * 4);
  }
  SDL_Texture* Texture() { return texture_; }

  [[noreturn]] static void Fail(const std::string& what) {
    throw cli::RenderFailure(what + ": " + SDL_GetError());
  }

 private:
  bool sdl_ = false;
  bool imgui_ = false;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
};

// The frame scaled to fit the area left of the panel, its aspect kept, centred.
SDL_Rect FrameRect(int windowWidth, int windowHeight, int frameWidth, int frameHeight) {
  const int areaWidth = std::max(1, windowWidth - static_cast<int>(kPanelWidth));
  const double scale = std::min(static_cast<double>(areaWidth) / frameWidth,
                                static_cast<double>(windowHeight) / frameHeight);
  const int w = std::max(1, static_cast<int>(frameWidth * scale));
  const int h = std::max(1, static_cast<int>(frameHeight * scale));
  return SDL_Rect{(areaWidth - w) / 2, (windowHeight - h) / 2, w, h};
}

void Screenshot(Window& window, const std::string& path) {
  int w = 0;
  int h = 0;
  SDL_GetRendererOutputSize(window.Renderer(), &w, &h);
  std::vector<unsigned char> rgba(static_cast<size_t>(w) * h * 4);
  if (SDL_RenderReadPixels(window.Renderer(), nullptr, SDL_PIXELFORMAT_ABGR8888, rgba.data(),
                           w * 4) != 0) {
    Window::Fail("cannot read the window back");
  }
  refhost::Image image(w, h);
  for (size_t i = 0; i < image.pixels.size(); ++i) {
    image.pixels[i] = PF_Pixel{255, rgba[i * 4], rgba[i * 4 + 1], rgba[i * 4 + 2]};
  }
  try {
    cli::WritePng(path, image);
  } catch (const std::runtime_error& e) {
    throw cli::RenderFailure(e.what());
  }
}

}  // namespace

void RunWindow(PreviewEngine& engine, ControlPanel& panel, int width, int height,
               const WindowOptions& options) {
  Window window(options.scripted);
  ShownFrame shown;
  long generation = 0;
  using Clock = std::chrono::steady_clock;
  Clock::time_point last = Clock::now();
  double displayRate = 0;
  bool quit = false;
  while (!quit) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
      ImGui_ImplSDL2_ProcessEvent(&event);
      if (event.type == SDL_QUIT) quit = true;
      if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE &&
          event.window.windowID == SDL_GetWindowID(window.Get())) {
        quit = true;
      }
    }
    // Scripted, the last frame is drawn once more after the simulation rests, so the
    // screenshot shows it.
    const bool last_round = options.scripted && engine.Finished();
    if (engine.TakeFrame(shown, generation)) window.Upload(shown.image);

    ImGui_ImplSDLRenderer_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
    panel.Draw(shown, generation, kPanelWidth, displayRate);
    ImGui::Render();
    SDL_SetRenderDrawColor(window.Renderer(), 24, 24, 24, 255);
    SDL_RenderClear(window.Renderer());
    if (window.Texture() != nullptr) {
      int w = 0;
      int h = 0;
      SDL_GetRendererOutputSize(window.Renderer(), &w, &h);
      const SDL_Rect rect = FrameRect(w, h, width, height);
      SDL_RenderCopy(window.Renderer(), window.Texture(), nullptr, &rect);
    }
    ImGui_ImplSDLRenderer_RenderDrawData(ImGui::GetDrawData());
    if (last_round) {
      if (!options.screenshot.empty()) Screenshot(window, options.screenshot);
      quit = true;
    }
    SDL_RenderPresent(window.Renderer());

    const Clock::time_point now = Clock::now();
    const double seconds = std::chrono::duration<double>(now - last).count();
    last = now;
    if (seconds > 0) displayRate = displayRate * 0.9 + 0.1 / seconds;
    // About sixty redraws a second are plenty, and leave the cores to the simulation.
    const auto spent = std::chrono::duration<double>(Clock::now() - now).count();
    if (spent < 1.0 / 60) SDL_Delay(static_cast<Uint32>((1.0 / 60 - spent) * 1000));
  }
}

}  // namespace velunary::preview
