// A recipe is checked whole before any machine is touched: each mistake
// names its key and the reason.
#include "production/Recipe.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

using testing::EndsWith;
using testing::HasSubstr;

namespace {

const QString kSamples = QStringLiteral(QUORVEX_SAMPLES_DIR);

std::string Sha256(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex().toStdString();
}

TEST(RecipeTest, TheSampleRecipeLoadsItsFilesAndKeepsTheirHashes)
{
    const Recipe recipe = LoadRecipe((kSamples + "/sample-recipe.json").toStdString());
    EXPECT_THAT(recipe.factory.path, EndsWith("/samples/sample-factory.tbf"));
    EXPECT_EQ(recipe.factory.sha256, Sha256(kSamples + "/sample-factory.tbf"));
    EXPECT_TRUE(recipe.factory.verify);
    EXPECT_TRUE(recipe.factoryImage.loaded);
    EXPECT_EQ(recipe.user.sha256, Sha256(kSamples + "/sample-user.tbu"));
    EXPECT_TRUE(recipe.userImage.loaded);
    EXPECT_EQ(recipe.sha256, Sha256(kSamples + "/sample-recipe.json"));
    EXPECT_EQ(recipe.serialPool, "sample");
    EXPECT_TRUE(recipe.powerOff);
    EXPECT_EQ(recipe.machineWithSerial, MachineWithSerial::Stop);
    EXPECT_EQ(MachineNameFor(recipe, "SN000042"), "Line 3 SN000042");
}

class BadRecipeTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        for (const char* name : {"sample-factory.tbf", "sample-user.tbu"})
            ASSERT_TRUE(QFile::copy(kSamples + "/" + name, folder.filePath(QLatin1String(name))));
        QFile broken(folder.filePath("broken.tbu"));
        ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
        broken.write(QByteArray(6, '\0'));
    }

    // The sample recipe, as `change` leaves it, written into the folder.
    std::string Write(const std::function<void(QJsonObject&)>& change)
    {
        QFile sample(kSamples + "/sample-recipe.json");
        EXPECT_TRUE(sample.open(QIODevice::ReadOnly));
        QJsonObject recipe = QJsonDocument::fromJson(sample.readAll()).object();
        change(recipe);
        return WriteText(QJsonDocument(recipe).toJson());
    }

    std::string WriteText(const QByteArray& text, const QString& name = QStringLiteral("recipe.json"))
    {
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        return file.fileName().toStdString();
    }

    QTemporaryDir folder;
};

// Sets `key` of the object member `object` (or of the recipe itself when empty).
std::function<void(QJsonObject&)> Set(const QString& object, const QString& key, const QJsonValue& value)
{
    return [=](QJsonObject& recipe) {
        if (object.isEmpty()) {
            if (value.isUndefined())
                recipe.remove(key);
            else
                recipe[key] = value;
            return;
        }
        QJsonObject member = recipe[object].toObject();
        member[key] = value;
        recipe[object] = member;
    };
}

TEST_F(BadRecipeTest, EachMistakeNamesItsKeyAndTheReason)
{
    using Kind = RecipeError::Kind;
    struct Case {
        std::function<void(QJsonObject&)> change;
        Kind kind;
        std::string key;
        std::string reason;  // a part of it
    };
    const QJsonValue missing(QJsonValue::Undefined);
    for (const Case& c : std::vector<Case>{
             {Set("", "powerof", true), Kind::InRecipe, "powerof", "unknown key"},
             {Set("", "serialPool", missing), Kind::InRecipe, "serialPool", "missing"},
             {Set("", "serialPool", "line 3"), Kind::InRecipe, "serialPool", "a pool's name is"},
             {Set("", "factoryImage", "sample-factory.tbf"), Kind::InRecipe, "factoryImage", "must be an object"},
             {Set("factoryImage", "verfy", true), Kind::InRecipe, "factoryImage.verfy", "unknown key"},
             {Set("userProgram", "verify", "yes"), Kind::InRecipe, "userProgram.verify", "must be true or false"},
             {Set("userProgram", "file", ""), Kind::InRecipe, "userProgram.file", "must be a file name"},
             {Set("", "machineName", "Line {serail}"), Kind::InRecipe, "machineName", "unknown placeholder '{serail}'"},
             {Set("", "machineName", "Line\t{serial}"), Kind::InRecipe, "machineName", "control character U+0009"},
             {Set("", "machineName", QString::fromUtf8("Линия {serial}")), Kind::InRecipe, "machineName",
              "is not Latin-1"},
             {Set("", "machineName", QString(33, 'x') + "{serial}"), Kind::InRecipe, "machineName",
              "33 characters without the serial number; a machine name holds 32"},
             {Set("", "powerOff", 1), Kind::InRecipe, "powerOff", "must be true or false"},
             {Set("", "machineWithSerial", "ask"), Kind::InRecipe, "machineWithSerial", "\"stop\" or \"record\""},
             {Set("factoryImage", "file", "missing.tbf"), Kind::FileRefused, "factoryImage.file",
              "missing.tbf: No such file or directory"},
             {Set("factoryImage", "file", "sample-user.tbu"), Kind::FileRefused, "factoryImage.file",
              "is a .tbu file, not a .tbf file"},
             {Set("userProgram", "file", "broken.tbu"), Kind::FileRefused, "userProgram.file",
              "broken.tbu: Unexpected end of file"},
         }) {
        const std::string path = Write(c.change);
        try {
            LoadRecipe(path);
            ADD_FAILURE() << "taken: " << c.key << " " << c.reason;
        } catch (const RecipeError& error) {
            EXPECT_EQ(error.kind, c.kind) << error.what();
            EXPECT_EQ(error.key, c.key) << error.what();
            EXPECT_THAT(error.reason, HasSubstr(c.reason));
            EXPECT_THAT(error.what(), HasSubstr(path + ": \"" + c.key + "\": "));
        }
    }
}

TEST_F(BadRecipeTest, ARecipeThatIsNoJsonObjectOrCannotBeReadIsSaid)
{
    using Kind = RecipeError::Kind;
    struct Case {
        std::string path;
        Kind kind;
        std::string reason;
    };
    for (const Case& c : std::vector<Case>{
             {WriteText("{\"serialPool\": ", "cut.json"), Kind::InRecipe, "not JSON: "},
             {WriteText("[]", "array.json"), Kind::InRecipe, "must be a JSON object"},
             {folder.filePath("none.json").toStdString(), Kind::FileRefused, "No such file or directory"},
             {folder.path().toStdString(), Kind::FileRefused, "Is a directory"},
         }) {
        try {
            LoadRecipe(c.path);
            ADD_FAILURE() << "taken: " << c.path;
        } catch (const RecipeError& error) {
            EXPECT_EQ(error.kind, c.kind) << error.what();
            EXPECT_EQ(error.key, "");
            EXPECT_THAT(error.reason, HasSubstr(c.reason));
        }
    }
}

// The pool's serial numbers go into the name: it must still fit.
TEST_F(BadRecipeTest, TheNameWithThePoolsSerialNumbersMustFit)
{
    const Recipe recipe = LoadRecipe(Write(Set("", "machineName", "Production line number 3 {serial}")));
    const SerialPool six{.name = "sample", .prefix = "SN", .first = 1, .last = 9999, .digits = 4};
    const SerialPool eight{.name = "sample", .prefix = "SN", .first = 1, .last = 999999, .digits = 6};
    EXPECT_NO_THROW(CheckRecipeWithPool(recipe, six));
    try {
        CheckRecipeWithPool(recipe, eight);
        FAIL() << "a name of 33 characters was taken";
    } catch (const RecipeError& error) {
        EXPECT_EQ(error.key, "machineName");
        EXPECT_THAT(error.reason, HasSubstr("is 33 characters with pool sample's serial number SN999999; "
                                            "a machine name holds 32"));
    }
}

}  // namespace
