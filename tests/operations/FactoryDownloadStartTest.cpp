// What the factory "Download" button decides before the dialog: the short
// readout and the ident check.

#include "operations/downloads/DownloadStarts.h"
#include "images/FactoryImage.h"
#include "support/ModelFixture.h"
#include "operations/readout/MachineInfo.h"
#include "support/OwnedContext.h"

#include <gtest/gtest.h>

namespace {

TEST(FactoryDownloadStart, TheIdentCheckAndItsRefusals)
{
    struct Case {
        const char* what;
        std::uint32_t hardIdent, flashIdent;
        bool loaded, silent;
        ActionRefusal refusal;
        std::string text;
    };
    const std::string incompatible = "Incompatible ident : this file is not for this hardware";
    // The machine: hard ident 4D520001, flash ident 000122DA.
    const std::vector<Case> cases{
        {"same idents", 0x4D520001, 0x000122DA, true, false, ActionRefusal::None, ""},
        {"flash ident differs above bit 15", 0x4D520001, 0xFFFF22DA, true, false, ActionRefusal::None, ""},
        {"flash ident differs in bit 0", 0x4D520001, 0x000122DB, true, false, ActionRefusal::MachineRefused,
         incompatible},
        {"hard ident differs in bit 31", 0xCD520001, 0x000122DA, true, false, ActionRefusal::MachineRefused,
         incompatible},
        {"no answer", 0x4D520001, 0x000122DA, true, true, ActionRefusal::NoAnswer, "No answer"},
        {"no file", 0x4D520001, 0x000122DA, false, false, ActionRefusal::NotLoaded, "No file loaded"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ModelLink m;
        if (c.silent)
            m.machine.PowerOff();
        OwnedContext objects;
        objects.factoryImage.hardIdent = c.hardIdent;
        objects.factoryImage.flashIdent = c.flashIdent;
        objects.factoryImage.loaded = c.loaded;
        objects.machineInfo.factoryInfoRead = true;  // from an earlier readout
        const ActionStart start = StartFactoryDownload(m.link, objects.machineInfo, objects.factoryImage);
        EXPECT_EQ(start.refusal, c.refusal);
        EXPECT_EQ(start.text, c.text);
        EXPECT_EQ(start.procedure != nullptr, c.refusal == ActionRefusal::None);
        // Only the identity was read: the panel shows nothing else until the full readout.
        if (c.loaded) {
            EXPECT_FALSE(objects.machineInfo.factoryInfoRead);
        }
    }
}

}  // namespace
