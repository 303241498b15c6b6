// Makes the one-file preview page: the module, the worklet's source and the page's
// script inlined into preview.html, so that it works from disk without a server.
//   node assemble_page.mjs preview.html vantor.mjs playback_worklet.js preview.js OUT.html
import { readFileSync, writeFileSync } from "node:fs";

const [templatePath, modulePath, workletPath, scriptPath, outputPath] = process.argv.slice(2);
const template = readFileSync(templatePath, "utf8");
const parts = {
  "/*@VANTOR_MODULE@*/": readFileSync(modulePath, "utf8"),
  "/*@PREVIEW_SCRIPT@*/":
    `const VANTOR_WORKLET_SOURCE = ${JSON.stringify(readFileSync(workletPath, "utf8"))};\n` +
    readFileSync(scriptPath, "utf8"),
};
let page = template;
for (const [placeholder, text] of Object.entries(parts)) {
  // Inside a script element the text must not close it.
  if (/<\/script/i.test(text) || page.split(placeholder).length !== 2) {
    console.error(`assemble_page: cannot put ${placeholder} into the page`);
    process.exit(1);
  }
  page = page.replace(placeholder, () => text);
}
writeFileSync(outputPath, page);
