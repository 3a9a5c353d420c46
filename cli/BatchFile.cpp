#include "cli/BatchFile.h"

FileOutcome BaseOutcome(const FileState& file) {
  FileOutcome outcome;
  outcome.name = file.input.name;
  outcome.before = file.image.bytes.size();
  outcome.conversion = !file.image.isPng;
  outcome.lossySource = file.image.fromLossyFormat;
  outcome.dropped = file.image.chunkChoice.dropped;
  outcome.notes = file.image.notes;
  if (!file.target.replacesInput && !file.target.toStdout) outcome.output = file.target.shownName;
  return outcome;
}

FileOutcome FailedOutcome(const FileState& file, const std::string& reason) {
  FileOutcome outcome = BaseOutcome(file);
  outcome.status = FileOutcome::Status::Failed;
  outcome.reason = reason;
  return outcome;
}

FileOutcome SkippedOutcome(const FileState& file) {
  FileOutcome outcome = FailedOutcome(file, "skipped (interrupted)");
  outcome.status = FileOutcome::Status::Skipped;
  return outcome;
}
