#include "entries/EntryFilter.h"
#include "tests/entries/EntryTestSupport.h"

namespace quillora::test {

using Rows = std::vector<std::string>;

class EntryFilterTest : public EntryTest {
protected:
    Rows search(BasicEntryFilter& filter, const std::string& text) {
        filter.setSearchString(text);
        return filter.filteredEntries;
    }
};

TEST_F(EntryFilterTest, FindsEntriesByAnyFormOfTheirWords) {
    Rows entries{"I ran to the station yesterday.",
                 "The children were sleeping upstairs",
                 "Buy milk and eggs",
                 "Buy milk and eggs",
                 "Los perros corrían por el parque",
                 "Meeting notes: budget, timeline."};
    writeList(entries);
    EntryFilter filter(std::make_shared<EntryCollection>());

    EXPECT_EQ(search(filter, "running"), (Rows{entries[0]}));
    EXPECT_EQ(search(filter, "CHILD"), (Rows{entries[1]}));
    EXPECT_EQ(search(filter, "sleep egg"), (Rows{entries[1], entries[2], entries[3]}));
    EXPECT_EQ(search(filter, "zebra"), Rows{});
    EXPECT_EQ(search(filter, " ,.!? "), entries);
    EXPECT_EQ(search(filter, "perro"), (Rows{entries[4]}));
    EXPECT_EQ(filter.languages.at(entries[4]), "es");
    EXPECT_EQ(filter.wordSets.size(), 5u);

    // The empty text keeps the last result.
    search(filter, "budget");
    EXPECT_EQ(search(filter, ""), (Rows{entries[5]}));
    EXPECT_EQ(filter.searchString(), "");
}

TEST_F(EntryFilterTest, WithoutEntriesNothingIsFoundAndNothingIndexed) {
    EntryFilterNVC missing(std::make_shared<EntryCollectionNVC>());
    EXPECT_FALSE(missing.entryCollection->entries);
    EXPECT_EQ(search(missing, "anything"), Rows{});
    EXPECT_EQ(search(missing, "..."), Rows{});
    EXPECT_TRUE(missing.wordSets.empty());

    writeList({}, "notesRVC.txt");
    EntryFilterRVC empty(std::make_shared<EntryCollectionRVC>());
    ASSERT_TRUE(empty.entryCollection->entries);
    EXPECT_TRUE(empty.entryCollection->entries->empty());
    EXPECT_EQ(search(empty, "anything"), Rows{});
}

TEST_F(EntryFilterTest, TheCollectionIsASnapshotOfTheFile) {
    writeList({"first entry 🍎\nline two"});
    auto collection = std::make_shared<EntryCollection>();
    writeList({"later", "first entry 🍎\nline two"});
    EXPECT_EQ(*collection->entries, (Rows{"first entry 🍎\nline two"}));
    EXPECT_EQ(collection->fileURL->lastPathComponent(), "notes.txt");
    EXPECT_EQ(EntryCollection().entries->size(), 2u);
}

} // namespace quillora::test
