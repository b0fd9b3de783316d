// What lumenard-cli recover copies: the objects chosen by --all, --id and --path on one volume,
// and the answer that --unknown-size gives to the probable-size question.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "recovery/recovery.h"

struct RecoverChoice {
  bool all = false;
  std::vector<int32_t> ids;
  std::vector<std::string> globs;  // UTF-8, matched against the listing's paths
};

// The chosen objects of the volume's store, live ones first; held by the list's lock taken
// inside.
std::vector<FoundObject*> ChosenObjects(CVolume& volume, const RecoverChoice& choice);

// '*' and '?' within one path component, "**" across components.
bool GlobMatches(std::string_view glob, std::string_view path);

// "next", "next-same", "default", "skip" or a positive size with an optional K, M or G;
// nothing when the text is none of these.
std::optional<SizeAnswer> ParseUnknownSize(std::string_view text);

// The selection of lumenard-cli: a list of objects of one volume, as a file list gives them.
class CliSelection : public IRecoverySelection {
 public:
  CliSelection(CVolume& volume, std::vector<FoundObject*> objects)
      : volume_(volume), objects_(std::move(objects)) {}
  CVolume* Volume() const override { return &volume_; }
  Control FocusedControl() const override { return Control::FileList; }
  std::vector<FoundObject*> SelectedObjects() const override { return objects_; }

 private:
  CVolume& volume_;
  std::vector<FoundObject*> objects_;
};

// Answers every question from the command's flags: the size from --unknown-size, no other
// destination, no deletion; errors go to standard error.
class CliPrompter : public IRecoveryPrompter {
 public:
  explicit CliPrompter(SizeAnswer size) : size_(size) {}
  SizeAnswer AskProbableSize(const SizeQuestion&) override { return size_; }
  std::optional<std::u16string> AskOtherDestination(const DestinationQuestion&) override {
    return std::nullopt;
  }
  bool AskDeleteTemporaryFiles(size_t) override { return false; }
  void ShowError(const std::u16string& text) override;

 private:
  SizeAnswer size_;
};
