// Loopmetry's detection settings and presets: texts that come back as they were given, the parameters the module
// sets and reads, the detector-stage answers, and the preset store with its user presets.
#include "host/loopmetry.h"
#include "platform/win/codepage.h"
#include "../slotof.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>

namespace {

std::u16string Take(BSTR text)
{
    std::u16string result(text ? text : u"");
    SysFreeString(text);
    return result;
}

std::u16string TextOf(ILMDetectionSettings* settings)
{
    BSTR text = nullptr;
    EXPECT_EQ(settings->GetText(&text), S_OK);
    return Take(text);
}

bool Valid(ILMDetectionSettings* settings)
{
    VARIANT_BOOL valid = VARIANT_FALSE;
    settings->IsValid(&valid);
    return valid != VARIANT_FALSE;
}

double Parameter(ILMDetectionSettings* settings, LONG index)
{
    double value = -99.0;
    EXPECT_EQ(settings->GetParameter(index, &value), S_OK) << index;
    return value;
}

platform::ComPtr<ILMDetectionSettings> Preset(host::LMDocExtension& extension, const char16_t* name)
{
    LONG index = -1;
    VARIANT_BOOL found = VARIANT_FALSE;
    extension.FindPresetByName(name, &index, &found);
    platform::ComPtr<ILMDetectionSettings> settings;
    if (found) {
        extension.GetPreset(index, settings.Out());
    }
    return settings;
}

} // namespace

// Loopmetry is another vendor's extension: the module reaches its settings and presets by slot, so both interfaces
// keep Loopmetry's order, the settings pages' operations first and the store's own after them.
TEST(LMDetectionSettings, OperationsSitInLoopmetrysSlots)
{
    EXPECT_EQ(SlotOf(&ILMDetectionSettings::CopyFrom), 3u);
    EXPECT_EQ(SlotOf(&ILMDetectionSettings::BuildCalculationText), 4u);
    EXPECT_EQ(SlotOf(&ILMDetectionSettings::SourceText), 5u);
    EXPECT_EQ(SlotOf(&ILMDetectionSettings::GetParameter), 6u);
    EXPECT_EQ(SlotOf(&ILMDetectionSettings::SetParameter), 7u);
    EXPECT_EQ(SlotOf(&ILMDetectionSettings::GetThresholdLabel), 8u);
    EXPECT_EQ(SlotOf(&ILMDetectionSettings::TransformsSource), 9u);
    EXPECT_EQ(SlotOf(&ILMDetectionSettings::MapDisplayUnits), 10u);
    EXPECT_EQ(SlotOf(&ILMDetectionSettings::MapOutputUnits), 11u);
    EXPECT_EQ(SlotOf(&ILMDetectionSettings::MapRange), 12u);
    EXPECT_EQ(SlotOf(&ILMDetectionSettings::IsThresholdInSD), 13u);
    EXPECT_EQ(SlotOf(&ILMDetectionSettings::GetText), 14u);
    EXPECT_EQ(SlotOf(&ILMDetectionSettings::SetText), 15u);
    EXPECT_EQ(SlotOf(&ILMDetectionSettings::Clone), 16u);
    EXPECT_EQ(SlotOf(&ILMDetectionSettings::Reset), 17u);
    EXPECT_EQ(SlotOf(&ILMDetectionSettings::IsValid), 18u);
    EXPECT_EQ(SlotOf(&ILMDetectionSettings::HasDetectorStage), 19u);

    EXPECT_EQ(SlotOf(&ILMDocExtension::GetPresetCount), 3u);
    EXPECT_EQ(SlotOf(&ILMDocExtension::FindPreset), 4u);
    EXPECT_EQ(SlotOf(&ILMDocExtension::FindPresetByName), 5u);
    EXPECT_EQ(SlotOf(&ILMDocExtension::GetPreset), 6u);
    EXPECT_EQ(SlotOf(&ILMDocExtension::CreateSettings), 7u);
    EXPECT_EQ(SlotOf(&ILMDocExtension::GetPresetName), 8u);
    EXPECT_EQ(SlotOf(&ILMDocExtension::IsPresetRemovable), 9u);
    EXPECT_EQ(SlotOf(&ILMDocExtension::Customize), 10u);
    EXPECT_EQ(SlotOf(&ILMDocExtension::SavePreset), 11u);
    EXPECT_EQ(SlotOf(&ILMDocExtension::DeletePreset), 12u);
}

TEST(LMDetectionSettings, TextsComeBackAsGivenAndDecideValidity)
{
    struct Case {
        const char16_t* text;
        bool valid;
        bool stage;
    };
    const Case cases[] = {
        {u"height=2;transform=1", true, true},
        {u"dir=-1;sd=0;height=0.25;interval=0.01", true, false},
        {u"height=+3.50;;window=1", true, false}, // written differently from how the object would write it
        {u"height=0", false, false},
        {u"height=0;zero=1", true, false},
        {u"height=-1", false, false},
        {u"dir=2", false, false},
        {u"colour=blue", false, false},
        {u"height=1e999", false, false},
        {u"", true, false}, // every field at its default
        {u"h\u00e9ight=2", false, false},
    };
    host::LMDetectionSettings settings;
    for (const Case& c : cases) {
        const std::string what = platform::Utf16ToUtf8(c.text);
        EXPECT_EQ(settings.SetText(c.text), S_OK);
        EXPECT_EQ(TextOf(&settings), c.text) << what;
        EXPECT_EQ(Valid(&settings), c.valid) << what;
        USHORT configured = 1;
        settings.HasDetectorStage(&configured);
        EXPECT_EQ(configured != 0, c.stage) << what;
        VARIANT_BOOL transforms = VARIANT_FALSE;
        settings.TransformsSource(&transforms);
        EXPECT_EQ(transforms != VARIANT_FALSE, c.stage) << what;

        platform::ComPtr<ILMDetectionSettings> clone;
        ASSERT_EQ(settings.Clone(clone.Out()), S_OK);
        EXPECT_EQ(TextOf(clone.Get()), c.text) << what;
    }
}

TEST(LMDetectionSettings, ParametersOfTheModule)
{
    host::LMDetectionSettings settings;
    EXPECT_EQ(settings.SetParameter(0, 3.0), S_OK);
    EXPECT_EQ(Parameter(&settings, 0), 3.0);
    EXPECT_EQ(settings.SetParameter(3, 2.5), S_OK);
    EXPECT_EQ(Parameter(&settings, 3), 2.5);
    EXPECT_EQ(settings.SetParameter(14, 0.0), S_OK);
    EXPECT_EQ(Parameter(&settings, 14), 0.0);

    // A height of 0 needs parameter 15.
    EXPECT_EQ(settings.SetParameter(3, 0.0), S_OK);
    EXPECT_EQ(Parameter(&settings, 15), 0.0);
    EXPECT_FALSE(Valid(&settings));
    EXPECT_EQ(settings.SetParameter(15, 1.0), S_OK);
    EXPECT_TRUE(Valid(&settings));

    // Refusals leave the settings as they were.
    const std::u16string before = TextOf(&settings);
    const std::pair<LONG, double> refused[] = {{3, -1.0}, {3, std::nan("")}, {7, 1.0}, {14, -2.0}, {-1, 0.0}};
    for (const auto& [index, value] : refused) {
        EXPECT_EQ(settings.SetParameter(index, value), E_INVALIDARG) << index;
    }
    EXPECT_EQ(TextOf(&settings), before);
    double value = 0.0;
    EXPECT_EQ(settings.GetParameter(7, &value), E_INVALIDARG);

    // The text written after a change reads back as the same settings; the source channel is not part of it.
    host::LMDetectionSettings copy;
    copy.SetText(before.c_str());
    ASSERT_TRUE(copy.Detection().has_value());
    EXPECT_EQ(*copy.Detection(), *settings.Detection());
    EXPECT_EQ(Parameter(&copy, 0), -1.0);
    EXPECT_EQ(copy.CopyFrom(&settings, VARIANT_TRUE), S_OK);
    EXPECT_EQ(Parameter(&copy, 0), 3.0);

    // Settings that are not ours refuse the detection parameters but keep their text.
    settings.SetText(u"colour=blue");
    EXPECT_EQ(settings.SetParameter(3, 1.0), E_INVALIDARG);
    EXPECT_EQ(settings.GetParameter(3, &value), E_FAIL);
    EXPECT_EQ(TextOf(&settings), u"colour=blue");
    settings.Reset();
    EXPECT_TRUE(Valid(&settings));
}

TEST(LMDetectionSettings, TextsUnitsAndRangesFollowTheTransform)
{
    host::LMDocExtension extension;
    auto plain = Preset(extension, u"General peaks");
    auto derivative = Preset(extension, u"Synaptic currents");
    ASSERT_TRUE(plain && derivative);

    BSTR text = nullptr;
    plain->BuildCalculationText(u"ch4", 1, 3, 4, &text);
    EXPECT_EQ(Take(text), u"lmpeaks( ch4, 1, 1, 5, 0.005, 0, 0.0005, 0.5 )");
    derivative->BuildCalculationText(u"ch1", 0, -1, static_cast<LONG>(0xC0000000), &text);
    EXPECT_EQ(Take(text), u"lmpeaks( ch1, -1, 1, 5, 0.005, 1, 0.0005, 0.5 )");
    // The detector stage holds the source's smoothed slope, which the detection then reads untransformed.
    derivative->SourceText(u"ch2", &text);
    EXPECT_EQ(Take(text), u"lmslope( ch2, 0.0005 )");
    derivative->BuildCalculationText(u"ch1001", 1, 1000, 4, &text);
    EXPECT_EQ(Take(text), u"lmpeaks( ch1001, -1, 1, 5, 0.005, 0, 0.0005, 0.5 )");
    plain->SourceText(u"ch2", &text);
    EXPECT_EQ(Take(text), u"ch2");

    BSTR unit = nullptr;
    LONG prefix = 0;
    plain->MapDisplayUnits(u"V", -1, &unit, &prefix);
    EXPECT_EQ(Take(unit), u"V");
    derivative->MapOutputUnits(u"A", -4, &unit, &prefix);
    EXPECT_EQ(Take(unit), u"A/s");
    EXPECT_EQ(prefix, -4);

    LMValueRange range{};
    plain->MapRange({-2.0, 3.0}, 0, &range);
    EXPECT_EQ(range.low, -2.0);
    EXPECT_EQ(range.high, 3.0);
    derivative->MapRange({-2.0, 3.0}, 0, &range);
    EXPECT_EQ(range.low, -10000.0); // 5 over half a millisecond
    EXPECT_EQ(range.high, 10000.0);

    VARIANT_BOOL sd = VARIANT_FALSE;
    plain->IsThresholdInSD(&sd);
    EXPECT_NE(sd, VARIANT_FALSE);
    plain->SetText(u"sd=0;height=0.2");
    plain->IsThresholdInSD(&sd);
    EXPECT_EQ(sd, VARIANT_FALSE);
    BSTR label = nullptr;
    plain->GetThresholdLabel(&label);
    EXPECT_EQ(Take(label), u"Minimum height:");
}

TEST(LMDocExtension, PresetsMatchSaveAndDelete)
{
    auto store = std::make_shared<host::LMPresetStore>();
    host::LMDocExtension extension(nullptr, store);
    LONG count = 0;
    extension.GetPresetCount(&count);
    ASSERT_EQ(count, 4);

    // Each preset is found by its own settings and is not removable; a fresh object is the first preset.
    for (LONG i = 0; i < count; ++i) {
        platform::ComPtr<ILMDetectionSettings> preset;
        ASSERT_EQ(extension.GetPreset(i, preset.Out()), S_OK);
        LONG index = -1;
        VARIANT_BOOL matched = VARIANT_FALSE;
        extension.FindPreset(preset.Get(), &index, &matched);
        EXPECT_EQ(index, i);
        EXPECT_NE(matched, VARIANT_FALSE);
        VARIANT_BOOL removable = VARIANT_TRUE;
        extension.IsPresetRemovable(i, &removable);
        EXPECT_EQ(removable, VARIANT_FALSE);
    }
    platform::ComPtr<ILMDetectionSettings> custom;
    extension.CreateSettings(custom.Out());
    LONG index = -1;
    VARIANT_BOOL matched = VARIANT_FALSE;
    extension.FindPreset(custom.Get(), &index, &matched);
    EXPECT_EQ(index, 0);

    // A custom copy (parameter 14 at 0) of each preset's settings is that preset, whatever its tag.
    for (LONG i = 0; i < count; ++i) {
        platform::ComPtr<ILMDetectionSettings> preset;
        ASSERT_EQ(extension.GetPreset(i, preset.Out()), S_OK);
        double tag = 0.0;
        preset->GetParameter(14, &tag);
        platform::ComPtr<ILMDetectionSettings> copy;
        extension.CreateSettings(copy.Out());
        copy->CopyFrom(preset.Get(), VARIANT_FALSE);
        copy->SetParameter(14, 0.0);
        index = -1;
        matched = VARIANT_FALSE;
        extension.FindPreset(copy.Get(), &index, &matched);
        EXPECT_EQ(index, i) << "preset " << i << " of tag " << tag;
        EXPECT_NE(matched, VARIANT_FALSE);
    }

    // The custom copy with its own height matches nothing until it is saved.
    custom->SetParameter(14, 0.0);
    custom->SetParameter(3, 6.5);
    extension.FindPreset(custom.Get(), &index, &matched);
    EXPECT_EQ(matched, VARIANT_FALSE);
    EXPECT_EQ(extension.SavePreset(nullptr, custom.Get()), S_OK);
    extension.FindPreset(custom.Get(), &index, &matched);
    EXPECT_EQ(index, 4);
    BSTR name = nullptr;
    extension.GetPresetName(4, VARIANT_TRUE, &name);
    EXPECT_EQ(Take(name), u"User preset 1");
    VARIANT_BOOL removable = VARIANT_FALSE;
    extension.IsPresetRemovable(4, &removable);
    EXPECT_NE(removable, VARIANT_FALSE);

    // The user presets go with the host's settings and come back in another host's store; a line that names a preset
    // listed already (a built-in one or one before it) is passed over.
    host::LMPresetStore restored;
    restored.ReadUserPresets(store->WriteUserPresets() +
                             u"broken line\nUser preset 9\tdir=5\nUser preset 1\tdir=-1\nGeneral peaks\tdir=-1\n");
    ASSERT_EQ(restored.Presets().size(), 5u);
    EXPECT_EQ(restored.Presets()[4].name, u"User preset 1");
    EXPECT_EQ(restored.Presets()[4].detection, store->Presets()[4].detection);

    // Only user presets can be deleted; settings that are not ours are not saved.
    EXPECT_EQ(extension.DeletePreset(nullptr, u"General peaks"), S_FALSE);
    EXPECT_EQ(extension.DeletePreset(nullptr, u"User preset 1"), S_OK);
    extension.GetPresetCount(&count);
    EXPECT_EQ(count, 4);
    custom->SetText(u"colour=blue");
    EXPECT_EQ(extension.SavePreset(nullptr, custom.Get()), E_INVALIDARG);
    EXPECT_EQ(extension.GetPreset(4, custom.Out()), E_INVALIDARG);
}
