#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "foundation/constants.h"
#include "foundation/files.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using testutil::read_text;
using testutil::write_text;

namespace {

const char* const not_a_dir = "Erro: Deve especificar o nome de um diretorio";
const char* const overlapping = "Erro: SourceDir e TargetDir sobrepostos";

void set_mtime(const std::string& name, time_t t) {
  const timespec ts[2] = {{t, 0}, {t, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, name.c_str(), ts, AT_SYMLINK_NOFOLLOW), 0) << name;
}

timespec mtime_of(const std::string& name) {
  struct stat st;
  EXPECT_EQ(stat(name.c_str(), &st), 0) << name;
  return st.st_mtim;
}

template <class F>
std::string captured(F f) {
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}

// Every entry below root, not following links: "dir/", "link -> target" or "file: contents".
std::map<std::string, std::string> snapshot(const std::string& root) {
  std::map<std::string, std::string> m;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    std::string rel = fs::relative(e.path(), root).string();
    if (e.is_symlink())
      m[rel] = "-> " + fs::read_symlink(e.path()).string();
    else if (e.is_directory())
      m[rel] = "dir";
    else
      m[rel] = read_text(e.path().string());
  }
  return m;
}

// Restores an environment variable and the current directory on leaving.
class EnvGuard {
 public:
  EnvGuard() : cwd_(fs::current_path()) {
    const char* p = std::getenv("PATH");
    had_ = p != nullptr;
    if (had_) path_ = p;
  }
  ~EnvGuard() {
    if (had_)
      setenv("PATH", path_.c_str(), 1);
    else
      unsetenv("PATH");
    fs::current_path(cwd_);
  }

 private:
  fs::path cwd_;
  bool had_;
  std::string path_;
};

class Files : public testutil::TempDir {
 protected:
  // A file with contents and a modification time.
  std::string file(const std::string& name, const std::string& text, time_t t = 1000000000) {
    std::string p = path(name);
    fs::create_directories(fs::path(p).parent_path());
    write_text(p, text);
    set_mtime(p, t);
    return p;
  }
  std::string mkdir(const std::string& name) {
    fs::create_directories(path(name));
    return path(name);
  }
  void link(const std::string& target, const std::string& name) {
    fs::create_symlink(target, path(name));
  }
  static bool root() { return geteuid() == 0; }
};

// Lookups ------------------------------------------------------------------------------------

TEST_F(Files, LookupsOfNamesAndPatterns) {
  file("a.txt", "hello", 1234567890);
  file(".h", "hi");
  file("ro", "abc");
  chmod(path("ro").c_str(), 0444);
  mkdir("d");
  link("d", "ln");
  ASSERT_EQ(mkfifo(path("fifo").c_str(), 0644), 0);

  const struct {
    const char* name;
    bool found;
    const char* entry;
    unsigned attrib;
    int size;
  } cases[] = {
      {"a.txt", true, "a.txt", 0, 5},
      {"a.*", true, "a.txt", 0, 5},
      {"?.txt", true, "a.txt", 0, 5},
      {"*.txt", true, "a.txt", 0, 5},
      {"A.TXT", false, "", 0, -1},
      {"*.none", false, "", 0, -1},
      {"missing", false, "", 0, -1},
      {"d", true, "d", ATR_SUBDIR, 0},
      {".h", true, ".h", ATR_HIDDEN, 2},
      {"ro", true, "ro", ATR_RDONLY, 3},
      {"ln", true, "ln", ATR_SYSTEM, 1},
      {"fifo", true, "fifo", ATR_SYSTEM, 0},
      {"*", true, ".", ATR_SUBDIR | ATR_HIDDEN, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string name = path(c.name);
    _finddata_t e;
    EXPECT_EQ(ExisteArq(name), c.found);
    EXPECT_EQ(PegaAttribArq(name, e), c.found);
    EXPECT_EQ(IsDirec(name), c.found && (c.attrib & ATR_SUBDIR) != 0);
    EXPECT_EQ(TamArq(name), c.size);
    if (c.found) {
      EXPECT_EQ(e.name, c.entry);
      EXPECT_EQ(e.attrib, c.attrib);
    }
  }
  _finddata_t e;
  ASSERT_TRUE(PegaAttribArq(path("a.txt"), e));
  EXPECT_EQ(e.time_write, 1234567890);
  EXPECT_TRUE(IsDirec(path("d") + "/"));
}

// Listings -----------------------------------------------------------------------------------

TEST_F(Files, DirectoryListing) {
  file(".h", "hi");
  file("a.txt", "hello");
  mkdir("d");
  file("d/x.txt", "not listed");
  link("d", "ln");
  file("ro", "abc");
  chmod(path("ro").c_str(), 0444);
  std::string out = captured([&] { diret(dir()); });
  EXPECT_EQ(out, "Directory listing of " + dir() +
                     "\n"
                     "  ..H.D        0 Bytes .\n"
                     "  ..H.D        0 Bytes ..\n"
                     "  ..H..        2 Bytes .h\n"
                     "  .....        5 Bytes a.txt\n"
                     "  ....D        0 Bytes d\n"
                     "  .S...        1 Bytes ln\n"
                     "  ...R.        3 Bytes ro\n");
  // The header shows the full path, whatever form the name was given in.
  out = captured([&] { diret(path("d/../d/.")); });
  EXPECT_EQ(out.substr(0, out.find('\n')), "Directory listing of " + path("d"));
}

TEST_F(Files, SizeColumnUnits) {
  const struct {
    const char* name;
    off_t size;
  } sizes[] = {{"b1", 1048575}, {"b2", 1048576}, {"b3", 1073741823}, {"b4", 1073741824}};
  for (const auto& s : sizes) {
    write_text(path(s.name), "");
    ASSERT_EQ(truncate(path(s.name).c_str(), s.size), 0);
  }
  std::string out = captured([&] { diret(dir()); });
  EXPECT_THAT(out, testing::HasSubstr("  .....  1048575 Bytes b1\n"
                                      "  .....     1024KBytes b2\n"
                                      "  .....  1048575KBytes b3\n"
                                      "  .....     1024MBytes b4\n"));
}

TEST_F(Files, TreeListing) {
  file(".h", "hi");
  file("a.txt", "hello");
  link("d", "ln");
  file("d/x.txt", "four");
  mkdir("d/e");
  file("ro", "abc");
  chmod(path("ro").c_str(), 0444);
  std::string out = captured([&] { subdir(dir()); });
  EXPECT_EQ(out, "Directory listing of " + dir() +
                     "\n"
                     "  ..H. .h\n"
                     "  .... a.txt\n"
                     "  .S.. ln\n"
                     "  ...R ro\n"
                     "Directory listing of " +
                     path("d") +
                     "\n"
                     "  .... x.txt\n"
                     "Directory listing of " +
                     path("d/e") + "\n");
}

TEST_F(Files, LargeEntriesOfATree) {
  file(".h", "hi");
  file("a.txt", "hello");
  file("d/x.txt", "four");
  mkdir("d/e");
  file("ro", "abc");
  chmod(path("ro").c_str(), 0444);
  std::string d = dir();
  EXPECT_EQ(captured([&] { maior(d, 3); }),
            "Files of " + d + " larger than 3 bytes:\n" +   //
                ".....        5 Bytes " + d + "/a.txt\n" +  //
                "...R.        3 Bytes " + d + "/ro\n" +     //
                "Files of " + d + "/d larger than 3 bytes:\n" + ".....        4 Bytes " + d +
                "/d/x.txt\n" +  //
                "Files of " + d + "/d/e larger than 3 bytes:\n");
  // n = 0 lists every entry; the lines keep the name as given, the headers its full path.
  std::string given = d + "/d/..";
  std::string out = captured([&] { maior(given, 0); });
  EXPECT_THAT(out, testing::StartsWith("Files of " + d +
                                       " larger than 0 bytes:\n"
                                       "..H.D        0 Bytes " +
                                       given +
                                       "/.\n"
                                       "..H.D        0 Bytes " +
                                       given +
                                       "/..\n"
                                       "..H..        2 Bytes " +
                                       given + "/.h\n"));
  EXPECT_THAT(out, testing::HasSubstr("Files of " + d +
                                      "/d larger than 0 bytes:\n"
                                      "..H.D        0 Bytes " +
                                      given + "/d/.\n"));
}

TEST_F(Files, ListingsOfAFilePrintTheHeaderThenFail) {
  std::string f = file("a.txt", "x");
  EXPECT_EXIT(
      {
        testutil::stdout_to_stderr();
        diret(f);
      },
      testing::ExitedWithCode(1),
      testing::HasSubstr("Directory listing of " + f + "\n" + not_a_dir + " \n"));
  EXPECT_EXIT(
      {
        testutil::stdout_to_stderr();
        subdir(f);
      },
      testing::ExitedWithCode(1),
      testing::HasSubstr("Directory listing of " + f + "\n" + not_a_dir + " \n"));
  EXPECT_EXIT(
      {
        testutil::stdout_to_stderr();
        maior(f, 7);
      },
      testing::ExitedWithCode(1),
      testing::HasSubstr("Files of " + f + " larger than 7 bytes:\n" + not_a_dir + " \n"));
  EXPECT_EXIT(
      {
        testutil::stdout_to_stderr();
        deldir(f);
      },
      testing::ExitedWithCode(1), testing::StartsWith(std::string(not_a_dir) + " \n"));
}

// Copying one file ---------------------------------------------------------------------------

TEST_F(Files, CopyFileKeepsContentsAndTime) {
  const int sizes[] = {0, 1, maxbuf - 1, maxbuf, maxbuf + 1, 3 * maxbuf + 17};
  for (int n : sizes) {
    SCOPED_TRACE(n);
    std::vector<unsigned char> bytes(static_cast<size_t>(n));
    for (int i = 0; i < n; i++)
      bytes[static_cast<size_t>(i)] = static_cast<unsigned char>(i * 7 + i / 251);
    std::string src = path("src.bin");
    testutil::write_bytes(src, bytes);
    const timespec t[2] = {{1500000000, 123456789}, {1500000000, 123456789}};
    utimensat(AT_FDCWD, src.c_str(), t, 0);
    file("dst.bin", "old contents to be replaced, longer than some");
    copiaarq(src, path("dst.bin"));
    EXPECT_EQ(testutil::read_bytes(path("dst.bin")), bytes);
    EXPECT_EQ(mtime_of(path("dst.bin")).tv_sec, 1500000000);
    EXPECT_EQ(mtime_of(path("dst.bin")).tv_nsec, 123456789);
  }
}

TEST_F(Files, CopyFileFailures) {
  std::string src = file("a.txt", "precious");
  EXPECT_ERRO(copiaarq(path("none"), path("b")), "Erro: Abertura de ", path("none"));
  EXPECT_ERRO(copiaarq(src, path("nodir/b")), "Erro: Abertura de ", path("nodir/b"));
  // A directory is no file to copy from, and the target is not created.
  mkdir("d");
  EXPECT_ERRO(copiaarq(path("d"), path("b")), "Erro: Abertura de ", path("d"));
  EXPECT_FALSE(fs::exists(path("b")));
  EXPECT_ERRO(copiaarq(src, path("d")), "Erro: Abertura de ", path("d"));
  // Onto itself: by the same name, another spelling, a hard link or a symbolic link.
  ASSERT_EQ(::link(src.c_str(), path("hard").c_str()), 0);
  link("a.txt", "soft");
  for (const std::string& dst : {src, path("./a.txt"), path("hard"), path("soft")}) {
    EXPECT_ERRO(copiaarq(src, dst), "Erro: Origem e destino sao o mesmo arquivo", dst);
    EXPECT_EQ(read_text(src), "precious");
  }
}

// Copying a tree -----------------------------------------------------------------------------

TEST_F(Files, CopyTreeTakesPlainFilesAndEveryDirectory) {
  file("s/a.txt", "a", 1111);
  file("s/sub/b.txt", "bb", 2222);
  file("s/.hidden", "h");
  file("s/ro.txt", "r");
  chmod(path("s/ro.txt").c_str(), 0444);
  file("s/.hdir/x.txt", "x");
  mkdir("s/empty");
  link("a.txt", "s/link");
  mkdir("outside");
  file("outside/o.txt", "o");
  link("../outside", "s/dlink");
  copiadir(path("s"), path("t"));
  std::map<std::string, std::string> want = {
      {".hdir", "dir"}, {".hdir/x.txt", "x"}, {"a.txt", "a"},
      {"empty", "dir"}, {"sub", "dir"},       {"sub/b.txt", "bb"},
  };
  EXPECT_EQ(snapshot(path("t")), want);
  EXPECT_EQ(mtime_of(path("t/sub/b.txt")).tv_sec, 2222);
}

TEST_F(Files, CopyTreeRefusals) {
  file("s/a.txt", "a");
  std::string f = file("f.txt", "f");
  mkdir("t");
  EXPECT_ERRO(copiadir(f, path("new")), "Erro: SourceDir nao e' diretorio", "");
  EXPECT_ERRO(copiadir(path("none"), path("new")), "Erro: SourceDir nao e' diretorio", "");
  EXPECT_ERRO(copiadir(path("s"), path("t")), "Erro: TargetDir ja existe", "");
  EXPECT_ERRO(copiadir(path("s"), f), "Erro: TargetDir ja existe", "");
  EXPECT_ERRO(copiadir(path("s"), path("x/y")), "Erro: _mkdir ", path("x/y"));
  EXPECT_ERRO(copiadir(path("s"), path("s/copy")), overlapping, "");
  link("s", "alias");
  EXPECT_ERRO(copiadir(path("s"), path("alias/copy")), overlapping, "");
  EXPECT_FALSE(testutil::file_exists(path("s/copy")));
}

// Bringing a target in line ------------------------------------------------------------------

class Align : public Files {
 protected:
  // Source and target trees: a.txt older in the target, b.txt and sub missing there, same.txt
  // with the same time and size but other contents, d present in both with e.txt older.
  void build() {
    fs::remove_all(path("s"));
    fs::remove_all(path("t"));
    file("s/a.txt", "new a", 2000);
    file("s/b.txt", "b", 2000);
    file("s/same.txt", "source", 1500);
    file("s/d/e.txt", "new e", 3000);
    file("s/d/keep.txt", "k", 3000);
    file("s/sub/c.txt", "c", 3000);
    file("s/.hidden", "h", 5000);
    file("t/a.txt", "old a", 1000);
    file("t/same.txt", "target", 1500);
    file("t/d/e.txt", "old e", 1000);
    file("t/d/keep.txt", "k", 3000);
    s = path("s");
    t = path("t");
  }
  std::string s, t;
};

TEST_F(Align, UpdateListsPerformsOrBoth) {
  build();
  const auto original = snapshot(path("t"));
  const std::string lines = "  CopiaArq " + s + "/a.txt\n" + "  CopiaArq " + s + "/b.txt\n" +
                            "  CopiaArq " + s + "/d/e.txt\n" + "  CopiaDir " + s + "/sub\n";
  auto updated = original;
  updated["a.txt"] = "new a";
  updated["b.txt"] = "b";
  updated["d/e.txt"] = "new e";
  updated["sub"] = "dir";
  updated["sub/c.txt"] = "c";
  const struct {
    char mode;
    bool lists, performs;
  } modes[] = {{'l', true, false}, {'p', false, true}, {'a', true, true}};
  for (const auto& m : modes) {
    SCOPED_TRACE(m.mode);
    build();
    EXPECT_EQ(captured([&] { updatetarget(s, t, m.mode); }), m.lists ? lines : "");
    EXPECT_EQ(snapshot(t), m.performs ? updated : original);
  }
  // A second run finds nothing to do.
  EXPECT_EQ(captured([&] { updatetarget(s, t, 'a'); }), "");
  EXPECT_EQ(mtime_of(t + "/a.txt").tv_sec, 2000);
}

TEST_F(Align, UpdateAndSyncDifferOnTimesAndSizes) {
  build();
  file("t/newer.txt", "target is newer", 9000);
  file("s/newer.txt", "source", 1000);
  file("s/size.txt", "longer source", 1500);
  file("t/size.txt", "short", 1500);
  updatetarget(s, t, 'p');
  EXPECT_EQ(read_text(t + "/same.txt"), "target");
  EXPECT_EQ(read_text(t + "/size.txt"), "short");
  EXPECT_EQ(read_text(t + "/newer.txt"), "target is newer");
  std::string out = captured([&] { synctarget(s, t, 'a'); });
  EXPECT_EQ(out, "  CopiaArq " + s + "/newer.txt\n" + "  CopiaArq " + s + "/size.txt\n");
  EXPECT_EQ(read_text(t + "/same.txt"), "target");  // same time and size: left alone
  EXPECT_EQ(read_text(t + "/size.txt"), "longer source");
  EXPECT_EQ(read_text(t + "/newer.txt"), "source");
  EXPECT_EQ(mtime_of(t + "/newer.txt").tv_sec, 1000);
}

TEST_F(Align, SyncRecursesAndCopiesMissingDirectories) {
  build();
  file("s/d/deep/z.txt", "z", 100);
  EXPECT_EQ(captured([&] { synctarget(s, t, 'a'); }),
            "  CopiaArq " + s + "/a.txt\n" + "  CopiaArq " + s + "/b.txt\n" + "  CopiaArq " + s +
                "/d/e.txt\n" + "  CopiaDir " + s + "/d/deep\n" + "  CopiaDir " + s + "/sub\n");
  EXPECT_EQ(read_text(t + "/d/deep/z.txt"), "z");
  EXPECT_FALSE(testutil::file_exists(t + "/.hidden"));
}

TEST_F(Align, TargetFileWhereTheSourceHasADirectoryIsFatal) {
  build();
  file("t/sub", "a file");
  EXPECT_ERRO(updatetarget(s, t, 'p'), "Erro: TargetDir ja existe", "");
}

TEST_F(Align, Prune) {
  build();
  file("s/asdir/in.txt", "i");
  file("s/fdir", "a file in the source");
  file("t/asdir", "kept: the source has a directory of this name");
  file("t/extra.txt", "removed");
  file("t/.hidden2", "kept: not a plain file");
  file("t/ro.txt", "kept: read-only");
  chmod((t + "/ro.txt").c_str(), 0444);
  file("t/fdir/x.txt", "removed with its directory");
  file("t/nodir/y/z.txt", "removed with its directory");
  file("t/d/extra2.txt", "removed");
  mkdir("outside");
  file("outside/o.txt", "never touched");
  link("../outside", "t/dlink");

  const std::string lines = "  Remove " + t + "/extra.txt\n" + "  Remove " + t + "/d/extra2.txt\n" +
                            "  Deldir " + t + "/fdir\n" + "  Deldir " + t + "/nodir\n";
  const auto before = snapshot(t);
  EXPECT_EQ(captured([&] { prunetarget(s, t, 'l'); }), lines);
  EXPECT_EQ(snapshot(t), before);
  EXPECT_EQ(captured([&] { prunetarget(s, t, 'a'); }), lines);
  auto after = before;
  for (const char* gone :
       {"extra.txt", "d/extra2.txt", "fdir", "fdir/x.txt", "nodir", "nodir/y", "nodir/y/z.txt"})
    after.erase(gone);
  EXPECT_EQ(snapshot(t), after);
  EXPECT_EQ(read_text(path("outside/o.txt")), "never touched");
  EXPECT_EQ(captured([&] { prunetarget(s, t, 'p'); }), "");
}

TEST_F(Align, ArgumentChecksInOrder) {
  build();
  std::string f = file("f.txt", "f");
  for (auto op : {updatetarget, synctarget, prunetarget}) {
    EXPECT_ERRO(op(f, f, 'x'), "Erro: SourceDir nao e' diretorio", "");
    EXPECT_ERRO(op(s, f, 'x'), "Erro: TargetDir nao e' diretorio", "");
    EXPECT_ERRO(op(s, t, 'x'), "Erro: modo invalido", "");
  }
}

TEST_F(Align, OverlappingTreesAreRefused) {
  build();
  mkdir("s/inner");
  mkdir("t/inner");
  link("s", "alias");
  mkdir("s2");
  const std::pair<std::string, std::string> pairs[] = {
      {s, s},
      {s, s + "/inner"},
      {t + "/inner", t},
      {path("alias/"), s},
      {path("alias/inner"), s},
      {s + "/", path("s/inner/..")},
  };
  for (const auto& p : pairs) {
    SCOPED_TRACE(p.first + " " + p.second);
    for (auto op : {updatetarget, synctarget, prunetarget})
      EXPECT_ERRO(op(p.first, p.second, 'a'), overlapping, "");
  }
  // A common prefix of the names is no overlap.
  EXPECT_EQ(captured([&] { prunetarget(path("s2"), s, 'l'); }).substr(0, 9), "  Remove ");
  EXPECT_EQ(snapshot(s).count("a.txt"), 1u);
}

// Deleting a tree ----------------------------------------------------------------------------

TEST_F(Files, DeleteTreeRemovesLinksNotTheirTargets) {
  file("t/a.txt", "a");
  file("t/.h", "h");
  file("t/ro.txt", "r");
  chmod(path("t/ro.txt").c_str(), 0444);
  file("t/sub/deep/x.txt", "x");
  file("t/we*ird?", "w");
  mkdir("t/st*r");
  file("t/st*r/in", "i");
  file("outside/o.txt", "o");
  link("../outside", "t/dlink");
  link("../../outside/o.txt", "t/sub/flink");
  EXPECT_EQ(captured([&] { deldir(path("t/sub/..")); }), "");
  EXPECT_FALSE(testutil::file_exists(path("t")));
  EXPECT_EQ(read_text(path("outside/o.txt")), "o");
  // A link to a directory is not a directory to delete.
  link("outside", "l");
  EXPECT_ERRO(deldir(path("l")), not_a_dir, "");
  EXPECT_TRUE(testutil::file_exists(path("outside/o.txt")));
}

TEST_F(Files, FailedDeletionsAreReportedAndTheWalkGoesOn) {
  if (root()) GTEST_SKIP() << "permissions do not bind root";
  file("t/a.txt", "a");
  file("t/locked/in.txt", "i");
  file("t/z.txt", "z");
  chmod(path("t/locked").c_str(), 0555);
  std::string out = captured([&] { deldir(path("t")); });
  chmod(path("t/locked").c_str(), 0755);
  EXPECT_EQ(out, "  " + path("t/locked/in.txt") + " (CUIDADO - NAO APAGUEI ARQUIVO)\n" + "  " +
                     path("t/locked") + " (CUIDADO - NAO APAGUEI DIRETORIO)\n" + "  " + path("t") +
                     " (CUIDADO - NAO APAGUEI DIRETORIO)\n");
  EXPECT_FALSE(testutil::file_exists(path("t/a.txt")));
  EXPECT_FALSE(testutil::file_exists(path("t/z.txt")));

  mkdir("s");
  file("u/locked/gone.txt", "g");
  mkdir("s/locked");
  chmod(path("u/locked").c_str(), 0555);
  out = captured([&] { prunetarget(path("s"), path("u"), 'p'); });
  chmod(path("u/locked").c_str(), 0755);
  EXPECT_EQ(out, "  " + path("u/locked/gone.txt") + " (CUIDADO - NAO APAGUEI ARQUIVO)\n");
}

// Names --------------------------------------------------------------------------------------

TEST(FileNames, Splitting) {
  const struct {
    const char* name;
    const char *dir, *nodir;
  } names[] = {
      {"C:\\Dir\\File.txt", "c:\\dir", "file.txt"},
      {"c:file", "c", "file"},
      {"\\file", "", "file"},
      {"file", "", "file"},
      {"C:\\Dir\\File.TXT", "c:\\dir", "file.txt"},
      {"/usr/Lib/X.so", "/usr/lib", "x.so"},
      {"a/b\\c:d", "a/b\\c", "d"},
      {"dir/", "dir", ""},
      {"", "", ""},
  };
  for (const auto& n : names) {
    EXPECT_EQ(diretorio(n.name), n.dir) << n.name;
    EXPECT_EQ(semdiret(n.name), n.nodir) << n.name;
  }
  const struct {
    const char* name;
    const char *base, *suffix;
  } suffixes[] = {
      {"Dir\\File.TXT", "dir\\file", "txt"}, {"README", "README", ""}, {"Img.TGA", "img", "tga"},
      {"c:\\a.b\\file", "c:\\a", "b\\file"}, {"Name.", "name", ""},    {".Profile", "", "profile"},
      {"a.tar.GZ", "a.tar", "gz"},
  };
  for (const auto& n : suffixes) {
    EXPECT_EQ(semsufixo(n.name), n.base) << n.name;
    EXPECT_EQ(sufixo(n.name), n.suffix) << n.name;
  }
  EXPECT_EQ(sufixo(std::string(253, 'a') + ".B"), "b");
}

TEST(FileNamesDeath, LengthLimits) {
  for (const std::string& bad : {std::string(), std::string(256, 'a')}) {
    EXPECT_ERRO(semsufixo(bad), "Erro: nome arquivo invalido", bad);
    EXPECT_ERRO(sufixo(bad), "Erro: nome arquivo invalido", bad);
  }
}

// The search path ----------------------------------------------------------------------------

TEST(SearchPath, SplitsPath) {
  EnvGuard guard;
  const struct {
    const char* value;
    std::vector<std::string> list;
  } cases[] = {
      {"/usr/bin/::/opt/tools", {".", "/usr/bin", "/opt/tools"}},
      {"/:/bin", {".", "/bin"}},
      {" a b :c//", {".", " a b ", "c/"}},
      {"", {"."}},
  };
  for (const auto& c : cases) {
    setenv("PATH", c.value, 1);
    EXPECT_EQ(paths(), c.list) << c.value;
  }
  unsetenv("PATH");
  EXPECT_EQ(paths(), std::vector<std::string>{"."});
}

TEST_F(Files, ProgramDirectory) {
  EnvGuard guard;
  file("bin/tool", "#!/bin/sh\n");
  file("bin2/tool", "#!/bin/sh\n");
  file("here", "x");
  setenv("PATH", (path("none") + ":" + path("bin") + "/:" + path("bin2")).c_str(), 1);
  fs::current_path(dir());
  EXPECT_EQ(getced("tool"), path("bin"));
  EXPECT_EQ(getced("t?ol"), path("bin"));
  EXPECT_EQ(getced("here"), ".");
  // A name with a directory is not searched for, and need not exist.
  EXPECT_EQ(getced("sub/Tool.exe"), path("sub"));
  EXPECT_EQ(getced("sub/"), path("sub"));
  EXPECT_EQ(getced("/opt/Apps/tool"), "/opt/Apps");
  EXPECT_EQ(getced("/tool"), "/");
  EXPECT_ERRO(getced("Tool"), "Erro getced: Nao achei arquivo executavel no path.\n", "");
  EXPECT_ERRO(getced("tool.exe"), "Erro getced: Nao achei arquivo executavel no path.\n", "");
  EXPECT_ERRO(getced(""), "Erro: nome arquivo invalido", "");
}

}  // namespace
