// The key a shortcut names, whatever the keyboard's layout. A key that
// types a letter of another script (я on a Russian layout's Z key, ζ on a
// Greek one) counts as the Latin letter or digit of its place, as drawing
// programs take Ctrl+Z there; a Latin letter typed counts as itself, so on
// AZERTY or Dvorak the letter printed on the key is the shortcut. Letters
// come lower case.
export function shortcutKey(event) {
  const key = event.key;
  if (/^\p{L}$/u.test(key) && !/^[a-z]$/i.test(key)) {
    const place = /^(?:Key([A-Z])|Digit([0-9]))$/.exec(event.code ?? '');
    if (place) return (place[1] ?? place[2]).toLowerCase();
  }
  return key.length === 1 ? key.toLowerCase() : key;
}
