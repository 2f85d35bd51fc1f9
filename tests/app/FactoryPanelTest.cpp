// What the factory "Download" button decides before the dialog: the short
// readout and the ident check.

#include "app/panels/FactoryPanel.h"
#include "images/FactoryImage.h"
#include "support/ModelFixture.h"
#include "app/readout/MachineInfo.h"
#include "support/OwnedContext.h"

#include <gtest/gtest.h>

namespace {

TEST(FactoryPanel, TheIdentCheckAndItsRefusals)
{
    struct Case {
        const char* what;
        std::uint32_t hardIdent, flashIdent;
        bool loaded, silent;
        FactoryRefusal refusal;
        std::string text;
    };
    const std::string incompatible = "Incompatible ident : this file is not for this hardware";
    // The machine: hard ident 4D520001, flash ident 000122DA.
    const std::vector<Case> cases{
        {"same idents", 0x4D520001, 0x000122DA, true, false, FactoryRefusal::None, ""},
        {"flash ident differs above bit 15", 0x4D520001, 0xFFFF22DA, true, false, FactoryRefusal::None, ""},
        {"flash ident differs in bit 0", 0x4D520001, 0x000122DB, true, false, FactoryRefusal::IncompatibleIdent,
         incompatible},
        {"hard ident differs in bit 31", 0xCD520001, 0x000122DA, true, false, FactoryRefusal::IncompatibleIdent,
         incompatible},
        {"no answer", 0x4D520001, 0x000122DA, true, true, FactoryRefusal::NoAnswer, "No answer"},
        {"no file", 0x4D520001, 0x000122DA, false, false, FactoryRefusal::NotLoaded, "No file loaded"},
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
        const FactoryDownloadStart start = FactoryPanel(objects.Over(m.link)).StartDownload();
        EXPECT_EQ(start.refusal, c.refusal);
        EXPECT_EQ(start.text, c.text);
        EXPECT_EQ(start.download != nullptr, c.refusal == FactoryRefusal::None);
        // Only the identity was read: the panel shows nothing else until the full readout.
        if (c.loaded) {
            EXPECT_FALSE(objects.machineInfo.factoryInfoRead);
        }
    }
}

}  // namespace
