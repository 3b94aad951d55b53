// velunary: renders a layer through the Velunary effect outside the compositing
// application, by loading the effect library and driving it through the reference host.
#include <CLI/CLI.hpp>

#include <cctype>
#include <csignal>
#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "commands.h"
#include "errors.h"
#include "render_plan.h"
#include "render_run.h"
#ifdef VELUNARY_PREVIEW
#include "preview_command.h"
#endif

namespace {

using velunary::cli::RenderOptions;

// A value that is an option itself ("--out --quiet") means the value was forgotten; taking
// the next option as a folder or file name would hide the mistake.
const CLI::Validator kNotAnOption(
    [](std::string& value) -> std::string {
      if (value.size() >= 2 && value[0] == '-' &&
          std::isalpha(static_cast<unsigned char>(
              value[value.size() > 2 && value[1] == '-' ? 2 : 1])) != 0) {
        return "the value is missing (" + value +
               " is an option; a file whose name starts with - is written ./" + value + ")";
      }
      return "";
    },
    "", "not an option");

void AddRenderOptions(CLI::App& render, RenderOptions& o) {
  render
      .add_option("--plugin", o.plugin,
                  "The effect library (default: $VELUNARY_PLUGIN, else the one beside this "
                  "program or in its prefix's library folder)")
      ->type_name("FILE");
  render
      .add_option("-i,--input", o.input,
                  "The layer the effect is applied to: a PNG, an image sequence (a_%05d.png or "
                  "a folder of numbered PNGs), a video, or \"feedback\" for the effect's own "
                  "previous frame (default: a built-in demo layer)")
      ->type_name("FOOTAGE|feedback");
  render.add_option("-s,--size", o.size, "Layer size WxH (default: the input's size, or 1280x720)")
      ->type_name("WxH");
  render
      .add_option("--fit", o.fit,
                  "Footage of another shape than the layer: stretch (over the whole layer, the "
                  "default), fit (whole, aspect kept, transparent bars) or fill (covering the "
                  "layer, aspect kept, the overflow cut)")
      ->type_name("stretch|fit|fill");
  render
      .add_option("--spawn", o.spawn,
                  "PNG, image sequence or video for the \"Spawn Layer\": particles start on its "
                  "non-black pixels (any pixel brighter than black, so ordinary footage seeds "
                  "almost everywhere; use a black image with white shapes)")
      ->type_name("FOOTAGE");
  render
      .add_option("--infected", o.infected,
                  "PNG, image sequence or video for the \"Infected Layer\"")
      ->type_name("FOOTAGE");
  auto* frames = render
                     .add_option("--frames", o.frames,
                                 "Render frames 0 ... N-1 (default: the input clip's length, or "
                                 "120)")
                     ->type_name("N");
  auto* list = render
                   .add_option("--frame-list", o.frameList,
                               "Render these frames in this order, e.g. 0,1,2,5,2")
                   ->type_name("LIST");
  frames->excludes(list);
  render.callback([&o, list] { o.frameListGiven = list->count() > 0; });
  render
      .add_option("-r,--fps", o.fps,
                  "Frame rate: 24, 29.97 or 30000/1001 (default: the input clip's, or 24)")
      ->type_name("RATE");
  render.add_option("--set", o.sets, "\"NAME=VALUE\": a control's constant value")
      ->type_name("\"NAME=VALUE\"")
      ->take_all()
      ->expected(1);
  render.add_option("--key", o.keys, "\"NAME@FRAME=VALUE\": a keyframe of a control")
      ->type_name("\"NAME@FRAME=VALUE\"")
      ->take_all()
      ->expected(1);
  render
      .add_option("--reset-before", o.resetBefore,
                  "Press \"Reset particles\" before each render of this frame")
      ->type_name("FRAME")
      ->take_all()
      ->expected(1);
  render.add_option("-o,--out", o.out, "Write DIR/NNNNN.png for every rendered frame")
      ->type_name("DIR");
  render
      .add_option("--frame-name", o.frameName,
                  "The frames' file names in --out: a run of # is the frame number padded to "
                  "that many digits, the extension the format: .png, .jpg or .tif (default "
                  "#####.png)")
      ->type_name("NAME");
  render
      .add_option("--depth", o.depth, "Bits a sample of PNG and TIFF frames: 8 or 16 (default 8)")
      ->type_name("BITS");
  render.add_option("--video", o.video, "Also encode the frames into this video (needs ffmpeg)")
      ->type_name("FILE");
  render
      .add_option("--codec", o.codec,
                  "The video's codec: h264, prores-hq (ProRes 422 HQ, .mov), prores-4444 "
                  "(with alpha, .mov), ffv1 (lossless, .mkv) or png (lossless, .mov); default: "
                  "ffmpeg's for the container")
      ->type_name("CODEC");
  render
      .add_option("--quality", o.quality,
                  "H.264's constant rate factor, 0 (lossless) to 51; 18 looks lossless, 23 is "
                  "the default")
      ->type_name("CRF");
  render
      .add_option("--contact-sheet", o.contactSheet,
                  "Write a labelled grid of evenly spaced frames to this PNG")
      ->type_name("FILE");
  render.add_flag("-y,--overwrite", o.overwrite,
                  "Replace the frames of an earlier render in the --out folder (only files a "
                  "render wrote) and an existing --contact-sheet or --video");
  render.add_flag("--quiet", o.quiet, "No progress and no summary");
  render
      .add_option("--keys", o.keysFile,
                  "Settings and keyframes from a keys file, as the preview saves them; the "
                  "command line's own options come first")
      ->type_name("FILE");
}

void RefuseOptionsAsValues(CLI::App& app) {
  for (CLI::App* command : app.get_subcommands([](CLI::App*) { return true; })) {
    for (CLI::Option* option : command->get_options([](CLI::Option*) { return true; })) {
      if (option->get_expected_min() > 0) option->check(kNotAnOption);
    }
  }
}

int Run(int argc, char** argv) {
  CLI::App app{"velunary: renders layers through the Velunary effect"};
  app.require_subcommand(0, 1);
  // The version is the loaded effect's own, as it tells the host at global setup.
  app.set_version_flag("--version", [] { return velunary::cli::VersionText(""); });
  // A repeated single-valued option is a mistake in a long command line: refused, not
  // silently resolved to one of its values.
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::Throw);
  RenderOptions render;
  std::string demoOut = "velunary-demo";
  std::string demoPlugin;
  std::string infoPlugin;
  auto* renderCommand = app.add_subcommand("render", "Render a layer through the effect");
  AddRenderOptions(*renderCommand, render);
  auto* demo = app.add_subcommand("demo", "Render the built-in demo scene with a contact sheet");
  demo->add_option("-o,--out", demoOut, "Output directory (default velunary-demo)")
      ->type_name("DIR");
  demo->add_option("--plugin", demoPlugin, "The effect library")->type_name("FILE");
  auto* params = app.add_subcommand("params", "List the effect's controls");
  params->add_option("--plugin", infoPlugin, "The effect library")->type_name("FILE");
#ifdef VELUNARY_PREVIEW
  RenderOptions previewRender;
  velunary::preview::PreviewOptions preview;
  auto* previewCommand = app.add_subcommand(
      "preview", "Grow the network in a window, steer it with the controls, save what you saw");
  AddRenderOptions(*previewCommand, previewRender);
  previewCommand
      ->add_option("--script", preview.script,
                   "Apply timed changes (\"FRAME NAME=VALUE\" or \"FRAME reset\" lines) and "
                   "run --frames N frames without waiting for the display")
      ->type_name("FILE");
  previewCommand
      ->add_option("--save-keys", preview.saveKeys,
                   "Write the settings and every change as a keys file for render --keys")
      ->type_name("FILE");
  previewCommand
      ->add_option("--screenshot", preview.screenshot, "Write the window as a PNG at the end")
      ->type_name("FILE");
#endif
  auto* help = app.add_subcommand("help", "Print this help, or a command's: help render");
  std::string helpTopic;
  help->add_option("command", helpTopic, "The command to explain")->type_name("COMMAND");
  auto* about = app.add_subcommand("about", "Print the effect's about text");
  about->add_option("--plugin", infoPlugin, "The effect library")->type_name("FILE");

  RefuseOptionsAsValues(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::string said = e.what();
    // CLI11's words for a repeated single-valued option, in ours.
    if (const size_t at = said.find("At Most 1 required but received"); at != std::string::npos) {
      said = said.substr(0, at) + "given more than once; give it once";
    }
    std::fprintf(stderr, "velunary: %s\nRun velunary --help for more information.\n", said.c_str());
    return velunary::cli::kExitUsage;
  }

  if (*help || app.get_subcommands().empty()) {
    CLI::App* topic = &app;
    if (!helpTopic.empty()) {
      try {
        topic = app.get_subcommand(helpTopic);
      } catch (const CLI::OptionNotFound&) {
        std::fprintf(stderr, "velunary: help %s: there is no such command\n", helpTopic.c_str());
        return velunary::cli::kExitUsage;
      }
    }
    const std::string text = app.get_formatter()->make_help(
        topic, topic == &app ? "velunary" : "velunary " + helpTopic, CLI::AppFormatMode::Normal);
    std::fputs(text.c_str(), *help ? stdout : stderr);
    return *help ? 0 : velunary::cli::kExitUsage;
  }
  if (*params) return velunary::cli::PrintParams(infoPlugin);
  if (*about) return velunary::cli::PrintAbout(infoPlugin);
#ifdef VELUNARY_PREVIEW
  if (*previewCommand) return velunary::preview::RunPreview(previewRender, preview);
#endif
  if (*demo) return velunary::cli::RunRender(velunary::cli::DemoPlan(demoPlugin, demoOut));
  return velunary::cli::RunRender(velunary::cli::PlanRender(render));
}

}  // namespace

int main(int argc, char** argv) {
  // A video encoder that quits early must surface as a write error, not end the renderer.
  std::signal(SIGPIPE, SIG_IGN);
  try {
    return Run(argc, argv);
  } catch (const velunary::cli::UsageError& e) {
    std::fprintf(stderr, "velunary: %s\n", e.what());
    return velunary::cli::kExitUsage;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr,
                 "velunary: out of memory: the layer size and footage need more memory than "
                 "this machine grants\n");
    return velunary::cli::kExitFailure;
  } catch (const velunary::cli::RenderFailure& e) {
    std::fprintf(stderr, "velunary: %s\n", e.what());
    return velunary::cli::kExitFailure;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "velunary: %s\n", e.what());
    return velunary::cli::kExitFailure;
  }
}
