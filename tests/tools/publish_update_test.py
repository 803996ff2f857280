#!/usr/bin/python3
"""Checks scripts/publish-update on the build machine: the feed it writes is
signed over its text, each entry's installer signature is over the setup's
bytes, and versions that are not plain or not newer are refused without a
change to the feed."""
import json
import os
import subprocess
import tempfile
import unittest

import nacl.bindings
import nacl.signing

TOOL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "publish-update")


def run(*arguments):
    return subprocess.run([TOOL, *arguments], capture_output=True, text=True)


def publish(key, feed, setup, version):
    return run("--key", key, "--feed", feed, "--setup", setup, "--version", version)


class PublishUpdate(unittest.TestCase):
    def test_signs_the_feed_and_each_installer_and_refuses_versions_not_plain_or_not_newer(self):
        with tempfile.TemporaryDirectory() as folder:
            key, feed, setup = (os.path.join(folder, name) for name in ("key.json", "feed.json", "Setup.exe"))
            made = run("--new-key", key)
            self.assertEqual(made.returncode, 0, made.stderr)
            public = bytes.fromhex(made.stdout.strip())
            body = b"MZ" + bytes(range(256)) * 300
            with open(setup, "wb") as out:
                out.write(body)
            for version in ["4.4.40", "4.4.100"]:
                self.assertEqual(publish(key, feed, setup, version).returncode, 0)
            with open(feed, "rb") as source:
                before = source.read()
            envelope = json.loads(before)
            text = envelope["text"]
            nacl.signing.VerifyKey(public).verify(text.encode("utf-8"), bytes.fromhex(envelope["signature"]))
            releases = json.loads(text)["versions"]
            self.assertEqual([release["version"] for release in releases], ["4.4.100", "4.4.40"])
            for release in releases:
                state = nacl.bindings.crypto_sign_ed25519ph_state()
                nacl.bindings.crypto_sign_ed25519ph_update(state, body)
                self.assertTrue(nacl.bindings.crypto_sign_ed25519ph_final_verify(
                    state, bytes.fromhex(release["installer"]["signature"]), public))

            for version in ["4.4.100", "4.4.39", "4.4.100.0", "..\\..\\x", "4.5/x", "4" * 30, "", "4..5"]:
                self.assertNotEqual(publish(key, feed, setup, version).returncode, 0, version)
            with open(feed, "rb") as source:
                self.assertEqual(source.read(), before)


if __name__ == "__main__":
    unittest.main(verbosity=1)
