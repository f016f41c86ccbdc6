"""`cmake --install` into a temporary prefix, and what it put there."""

import json
import os
import shutil
import subprocess
import tempfile
import unittest

import installed_tree

BUILD_DIR = os.environ.get("LANQI_BUILD_DIR", "")


@unittest.skipUnless(BUILD_DIR and os.path.isdir(BUILD_DIR), "needs LANQI_BUILD_DIR, a configured and built tree")
class InstallIntoPrefix(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = tempfile.mkdtemp(prefix="lanqi-install-")
        cls.install = subprocess.run(["cmake", "--install", BUILD_DIR, "--prefix", cls.prefix],
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=300)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.prefix, ignore_errors=True)

    def setUp(self):
        self.assertEqual(self.install.returncode, 0, self.install.stdout)

    def test_installs_exactly_the_programs_desktop_entry_icons_and_metadata(self):
        self.assertEqual(installed_tree.files_under(self.prefix), installed_tree.expected_files())

    def test_programs_are_executables_without_build_paths(self):
        installed_tree.check_programs(self, self.prefix, BUILD_DIR)

    def test_installed_cli_starts_and_answers_with_its_usage(self):
        cli = os.path.join(self.prefix, "bin", "lanqi-cli")
        answer = subprocess.run([cli], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=30)
        self.assertEqual(answer.returncode, 1)
        self.assertIn("lanqi-cli --help", answer.stderr)
        answer = subprocess.run([cli, "--help"], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=30)
        self.assertEqual(answer.returncode, 0)
        self.assertIn("Usage: lanqi-cli", answer.stdout)

    def test_installed_cli_reads_the_installed_site_definitions(self):
        cli = os.path.join(self.prefix, "bin", "lanqi-cli")
        with tempfile.TemporaryDirectory() as config:
            answer = subprocess.run([cli, "--json", "sites"], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                    timeout=30, env=dict(os.environ, XDG_CONFIG_HOME=config))
        self.assertEqual(answer.returncode, 0, answer.stderr)
        files = [json.loads(line)["definitionFile"] for line in answer.stdout.splitlines() if '"site"' in line]
        self.assertEqual(files, [os.path.join(self.prefix, "share", "lanqi-search", "sites", "site%d.toml" % n)
                                 for n in range(1, 7)])

    def test_manual_pages_render_and_bash_completes_the_cli(self):
        installed_tree.check_manual_pages(self, self.prefix)
        installed_tree.check_completion(self, self.prefix)

    def test_desktop_entry_is_valid_and_launches_the_installed_client(self):
        installed_tree.check_desktop_entry(self, self.prefix)

    def test_icon_in_every_hicolor_size_and_scalable(self):
        installed_tree.check_icons(self, self.prefix)

    def test_appstream_metadata_is_valid_and_matches_the_install(self):
        installed_tree.check_metainfo(self, self.prefix)


if __name__ == "__main__":
    unittest.main()
