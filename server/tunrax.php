<?php
// Tunrax server script: serves the music collection that lies in this
// script's folder to the Tunrax player.
//
//   tunrax.php?verzeichnis=\Artist\Album\   the song files (*.mp3, any case,
//                                           regular files) of that folder,
//                                           one name per line
//   tunrax.php?datei=\Artist\Album\01.mp3   the file, byte for byte
//                                           (Content-Length, single ranges)
//
// The parameter is taken from the raw query and decoded with rawurldecode,
// so a "+" stays a "+". "\" (and "/") separate the names below this folder.
// Anything that is not a regular file or folder inside this folder, after
// every symbolic link is resolved, is answered with a bare 404; so are "..",
// absolute paths, NUL bytes and PHP files. Needs PHP 7.4 or later.

error_reporting(0);
ini_set('display_errors', '0');
ini_set('zlib.output_compression', '0');
header_remove('X-Powered-By');

function tunrax_not_found()
{
    http_response_code(404);
    header('Content-Type: text/plain');
    header('Content-Length: 0');
    exit;
}

// The value of the parameter $name in the raw query, or null.
function tunrax_parameter($name)
{
    $query = isset($_SERVER['QUERY_STRING']) ? $_SERVER['QUERY_STRING'] : '';
    foreach (explode('&', $query) as $pair) {
        $parts = explode('=', $pair, 2);
        if (count($parts) == 2 && $parts[0] === $name) {
            return rawurldecode($parts[1]);
        }
    }
    return null;
}

function tunrax_is_below($path, $base)
{
    return $path === $base || strncmp($path, $base . '/', strlen($base) + 1) === 0;
}

// The real path inside this folder that $relative names, or null.
function tunrax_resolve($relative)
{
    if (strpos($relative, "\0") !== false || strlen($relative) > 4096) {
        return null;
    }
    // The player's paths begin with "\" and mean this folder; a leading "/"
    // or a drive letter is an absolute path.
    if ($relative !== '' && ($relative[0] === '/' || preg_match('/^[A-Za-z]:/', $relative))) {
        return null;
    }
    $relative = str_replace('\\', '/', $relative);
    foreach (explode('/', $relative) as $name) {
        if ($name === '..') {
            return null;
        }
    }
    $base = realpath(__DIR__);
    if ($base === false) {
        return null;
    }
    $real = realpath(__DIR__ . '/' . ltrim($relative, '/'));
    if ($real === false || !tunrax_is_below($real, $base)) {
        return null;
    }
    return $real;
}

function tunrax_list($folder)
{
    $base = realpath(__DIR__);
    $names = scandir($folder);
    if ($names === false) {
        tunrax_not_found();
    }
    $body = '';
    foreach ($names as $name) {
        if (strcasecmp(substr($name, -4), '.mp3') !== 0) {
            continue;
        }
        $real = realpath($folder . '/' . $name);
        if ($real !== false && tunrax_is_below($real, $base) && is_file($real)) {
            $body .= $name . "\n";
        }
    }
    header('Content-Type: text/plain');
    header('Content-Length: ' . strlen($body));
    echo $body;
}

// [first, last] of a single "bytes=" range, false for an unsatisfiable one,
// null when the whole file is sent.
function tunrax_range($size)
{
    if (!isset($_SERVER['HTTP_RANGE'])) {
        return null;
    }
    if (!preg_match('/^bytes=(\d*)-(\d*)$/', trim($_SERVER['HTTP_RANGE']), $m)
        || ($m[1] === '' && $m[2] === '')) {
        return null;
    }
    if ($m[1] === '') {
        $length = (int)$m[2];
        if ($length == 0 || $size == 0) {
            return false;
        }
        return array(max(0, $size - $length), $size - 1);
    }
    $first = (int)$m[1];
    $last = $m[2] === '' ? $size - 1 : min((int)$m[2], $size - 1);
    if ($first >= $size || $last < $first) {
        return false;
    }
    return array($first, $last);
}

function tunrax_send($file)
{
    $handle = fopen($file, 'rb');
    if ($handle === false) {
        tunrax_not_found();
    }
    $size = filesize($file);
    $range = tunrax_range($size);
    header('Accept-Ranges: bytes');
    if ($range === false) {
        http_response_code(416);
        header('Content-Range: bytes */' . $size);
        header('Content-Length: 0');
        return;
    }
    list($first, $last) = $range === null ? array(0, $size - 1) : $range;
    if ($range !== null) {
        http_response_code(206);
        header("Content-Range: bytes $first-$last/$size");
    }
    header('Content-Type: application/octet-stream');
    header('Content-Length: ' . ($last - $first + 1));
    if ($_SERVER['REQUEST_METHOD'] === 'HEAD') {
        return;
    }
    while (ob_get_level() > 0) {
        ob_end_clean();
    }
    set_time_limit(0);
    fseek($handle, $first);
    $left = $last - $first + 1;
    while ($left > 0 && !feof($handle) && !connection_aborted()) {
        $chunk = fread($handle, min(65536, $left));
        if ($chunk === false || $chunk === '') {
            break;
        }
        echo $chunk;
        flush();
        $left -= strlen($chunk);
    }
    fclose($handle);
}

$method = isset($_SERVER['REQUEST_METHOD']) ? $_SERVER['REQUEST_METHOD'] : 'GET';
if ($method !== 'GET' && $method !== 'HEAD') {
    tunrax_not_found();
}

$folder = tunrax_parameter('verzeichnis');
$file = tunrax_parameter('datei');
if ($folder !== null && $file === null) {
    $real = tunrax_resolve($folder);
    if ($real === null || !is_dir($real)) {
        tunrax_not_found();
    }
    tunrax_list($real);
} elseif ($file !== null && $folder === null) {
    $real = tunrax_resolve($file);
    // PHP files may hold what no listener should read, this script included.
    if ($real === null || !is_file($real) || preg_match('/\.(php\d*|phtml|phar)$/i', $real)) {
        tunrax_not_found();
    }
    tunrax_send($real);
} else {
    tunrax_not_found();
}
