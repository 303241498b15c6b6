// Makes the one-file preview page: the module, the worklet's source and the page's
// script inlined into preview.html, so that it works from disk without a server; and
// the licences of what it holds, so that the file handed on carries them.
//   node assemble_page.mjs preview.html vantor.mjs playback_worklet.js preview.js OUT.html LICENCE...
import { readFileSync, writeFileSync } from "node:fs";
import { basename } from "node:path";

const [templatePath, modulePath, workletPath, scriptPath, outputPath, ...licencePaths] = process.argv.slice(2);
const escaped = (text) => text.replaceAll("&", "&amp;").replaceAll("<", "&lt;").replaceAll(">", "&gt;");
const template = readFileSync(templatePath, "utf8");
const parts = {
  "/*@VANTOR_MODULE@*/": readFileSync(modulePath, "utf8"),
  "/*@PREVIEW_SCRIPT@*/":
    `const VANTOR_WORKLET_SOURCE = ${JSON.stringify(readFileSync(workletPath, "utf8"))};\n` +
    readFileSync(scriptPath, "utf8"),
  "<!--@LICENCES@-->": licencePaths
    .map((path) => `<details><summary>${escaped(basename(path))}</summary><pre>${escaped(readFileSync(path, "utf8"))}</pre></details>`)
    .join("\n"),
};
let page = template;
for (const [placeholder, text] of Object.entries(parts)) {
  // Inside a script element the text must not close it.
  if ((placeholder.startsWith("/*") && /<\/script/i.test(text)) || page.split(placeholder).length !== 2) {
    console.error(`assemble_page: cannot put ${placeholder} into the page`);
    process.exit(1);
  }
  page = page.replace(placeholder, () => text);
}
writeFileSync(outputPath, page);
