#pragma once

#include "operations/Job.h"

struct BootImage;
struct FactoryImage;
struct UserImage;

// The three downloads as jobs: the readout and checks before, the
// procedure, the verify after a download that ended "Done" (when asked), and
// the full readout after, so that the machine's new state is read.

struct DownloadOptions {
    bool verify = false;  // read back and compare what was written
};

// The user panel's "Download": the full readout, the checks, the image
// prepared for the machine's user area, the download (StepKind::UserDownload),
// its verify, the full readout. A refusal is the job's result, with its end
// (NoAnswer, FileRefused for "No file loaded", MachineRefused for the others).
JobOutcome DownloadUserProgram(const JobContext& job, UserImage& image, const DownloadOptions& options = {});

// The factory panel's "Download": the short readout (identity only), the
// ident check, the download (StepKind::FactoryDownload), its verify, the full
// readout.
JobOutcome DownloadFactoryImage(const JobContext& job, const FactoryImage& image,
                                const DownloadOptions& options = {});

// "Boot": the stream to the resident loader (StepKind::Boot), no readout
// before it. `readoutAfter`: the full readout once it has ended, whatever the
// stream's end (the window's); otherwise the machine is left to start the
// program.
JobOutcome BootMachine(const JobContext& job, const BootImage& image, bool readoutAfter = false);
