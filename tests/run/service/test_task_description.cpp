#include <gtest/gtest.h>

#include <string>

#include "run/service/task_description.h"

namespace kestrune {
namespace {

TaskRecord record(std::int32_t action, std::string filters, std::string source,
                  std::string target = {}) {
    TaskRecord made;
    made.action = action;
    made.filters = std::move(filters);
    made.sourceFolder = std::move(source);
    made.targetFolder = std::move(target);
    made.depthCode = 1;
    return made;
}

TEST(TaskDescription, SaysWhatEachKindOfTaskDoesInOneSentence) {
    TaskRecord papers = record(1, "*.pdf", "/home/ann/Downloads", "/home/ann/Papers/");
    papers.depthCode = 0;
    TaskRecord screenshots = record(1, "*.png", "/home/ann/Desktop", "/home/ann/Pictures");
    screenshots.names = "screenshot*";
    screenshots.olderThan = "1w";
    screenshots.flat = true;
    screenshots.depthCode = 3;
    screenshots.subfolder = "{year}/{month}";
    TaskRecord installers = record(4, "*.*", "/home/ann/Downloads");
    installers.minSize = "500M";
    TaskRecord invoices = record(2, " *.pdf ; ;*.PDF", "/home/ann/Documents", "/srv/backup");
    invoices.names = "invoice*; *receipt*";
    invoices.exclude = "drafts;*.bak";
    invoices.depthCode = 2;
    invoices.skipSame = true;
    invoices.rename = "{year}-{month}-{day} {name}.{ext}";
    TaskRecord bounded = record(3, "*.log", "/var/tmp/logs");
    bounded.filesOnly = true;
    bounded.minSize = "1";
    bounded.maxSize = "2 g";
    bounded.olderThan = "90m";
    bounded.newerThan = "1D";
    TaskRecord unreadable = record(0, "", "", "");
    unreadable.maxSize = "10X";
    unreadable.newerThan = "5y";
    TaskRecord home = record(2, "*", "/home/ann", "/home/anna/x");

    const std::pair<TaskRecord, const char*> cases[] = {
        {papers,
         "Moves *.pdf from ~/Downloads and all its subfolders to ~/Papers, keeping folders"},
        {screenshots,
         "Moves *.png named screenshot* older than 1 week from ~/Desktop and 2 levels of "
         "subfolders to ~/Pictures, not keeping folders, in subfolders {year}/{month}"},
        {installers, "Moves everything of at least 500 MiB from ~/Downloads to the trash"},
        {invoices,
         "Copies *.pdf, *.PDF named invoice* or *receipt* except drafts, *.bak from "
         "~/Documents and 1 level of subfolders to /srv/backup, keeping folders, renamed "
         "{year}-{month}-{day} {name}.{ext}, skipping files already there with the same "
         "content"},
        {bounded,
         "Deletes *.log (files only) of at least 1 byte and at most 2 GiB older than 90 minutes "
         "and newer than 1 day in /var/tmp/logs for good"},
        {unreadable,
         "Does nothing yet with nothing (no filters) of at most \"10X\" newer than \"5y\" in "
         "(no source folder): no action is chosen"},
        {home, "Copies * from ~ to /home/anna/x"},
    };
    for (const auto& [task, sentence] : cases) {
        EXPECT_EQ(describeTask(task, "/home/ann/"), sentence);
    }
    EXPECT_EQ(describeTask(papers, ""),
              "Moves *.pdf from /home/ann/Downloads and all its subfolders to /home/ann/Papers, "
              "keeping folders");
}

}  // namespace
}  // namespace kestrune
