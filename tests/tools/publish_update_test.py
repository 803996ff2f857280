#!/usr/bin/python3
"""Checks scripts/publish-update on the build machine: the feed it writes is
signed over its text, each entry's installer signature is over the setup's
bytes, and versions that are not plain or not newer are refused without a
change to the feed."""
import hashlib
import json
import os
import subprocess
import sys
import tempfile
import unittest

import nacl.bindings
import nacl.signing

TOOL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "publish-update")


def run(*arguments):
    return subprocess.run([TOOL, *arguments], capture_output=True, text=True)


class PublishUpdate(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.key = os.path.join(self.folder.name, "key.json")
        made = run("--new-key", self.key)
        self.assertEqual(made.returncode, 0, made.stderr)
        self.public = made.stdout.strip()
        self.feed = os.path.join(self.folder.name, "site", "feed.json")
        os.makedirs(os.path.dirname(self.feed))
        self.setup_file = os.path.join(self.folder.name, "LumarestSetup.exe")
        with open(self.setup_file, "wb") as out:
            out.write(b"MZ" + bytes(range(256)) * 300)
        self.notes = os.path.join(self.folder.name, "notes.txt")
        with open(self.notes, "w") as out:
            out.write("Faster scans.\n\nFixed a crash.\n")

    def tearDown(self):
        self.folder.cleanup()

    def publish(self, version):
        return run("--key", self.key, "--feed", self.feed, "--setup", self.setup_file, "--version", version,
                   "--notes", self.notes)

    def read_feed(self):
        with open(self.feed, encoding="utf-8") as source:
            envelope = json.load(source)
        return envelope, json.loads(envelope["text"])

    def test_signs_the_feed_and_each_installer_and_orders_the_versions(self):
        self.assertEqual(self.publish("4.4.40").returncode, 0)
        self.assertEqual(self.publish("4.4.100").returncode, 0)
        envelope, feed = self.read_feed()
        self.assertEqual(envelope["key"], self.public)
        verify = nacl.signing.VerifyKey(bytes.fromhex(self.public))
        verify.verify(envelope["text"].encode("utf-8"), bytes.fromhex(envelope["signature"]))
        self.assertEqual([r["version"] for r in feed["versions"]], ["4.4.100", "4.4.40"])
        with open(self.setup_file, "rb") as source:
            body = source.read()
        for release in feed["versions"]:
            installer = release["installer"]
            self.assertEqual(release["descriptions"], ["Faster scans.", "Fixed a crash."])
            self.assertEqual(installer["size"], len(body))
            self.assertEqual(installer["sha256"], hashlib.sha256(body).hexdigest())
            self.assertEqual(installer["url"], "LumarestSetup-%s.exe" % release["version"])
            state = nacl.bindings.crypto_sign_ed25519ph_state()
            nacl.bindings.crypto_sign_ed25519ph_update(state, body)
            self.assertTrue(nacl.bindings.crypto_sign_ed25519ph_final_verify(
                state, bytes.fromhex(installer["signature"]), bytes.fromhex(self.public)))
            self.assertTrue(os.path.exists(os.path.join(os.path.dirname(self.feed), installer["url"])))

    def test_refuses_versions_that_are_not_plain_or_not_newer_and_keeps_the_feed(self):
        self.assertEqual(self.publish("4.4.40").returncode, 0)
        with open(self.feed, "rb") as source:
            before = source.read()
        for version in ["4.4.40", "4.4.39", "4.4.40.0", "..\\..\\x", "4.5/x", "4" * 30, "", "4..5"]:
            refused = self.publish(version)
            self.assertNotEqual(refused.returncode, 0, version)
            self.assertIn("publish-update", refused.stderr, version)
        with open(self.feed, "rb") as source:
            self.assertEqual(source.read(), before)
        self.assertEqual(run("--new-key", self.key).returncode, 1, "a key file was overwritten")
        other = os.path.join(self.folder.name, "other.json")
        run("--new-key", other)
        self.assertEqual(run("--key", other, "--feed", self.feed, "--setup", self.setup_file,
                             "--version", "4.5").returncode, 1, "another key published into the feed")


if __name__ == "__main__":
    unittest.main(verbosity=1)
